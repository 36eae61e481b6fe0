#include "inspect/live_registry.h"

#include <windows.h>

#include <vector>

#include "registry/forwarding_registry.h"
#include "registry/named_mutex_lock.h"
#include "registry/registry_paths.h"
#include "registry/win32_registry.h"

namespace instdll::inspect {
namespace {

// The registry's limits: key names of 255 characters, value names of 16,383.
constexpr DWORD kLongestKeyName = 256;
constexpr DWORD kLongestValueName = 16384;

// Sole owner of a key opened for reading.
class ReadKey {
public:
    ReadKey(HKEY parent, const std::u16string& path, REGSAM access) {
        if (RegOpenKeyExW(parent, Wide(path), 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ReadKey(const ReadKey&) = delete;
    ReadKey& operator=(const ReadKey&) = delete;
    ~ReadKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    HKEY get() const { return key_; }

    static const wchar_t* Wide(const std::u16string& text) {
        return reinterpret_cast<const wchar_t*>(text.c_str());
    }

private:
    HKEY key_ = nullptr;
};

struct Place {
    RegHandle root;
    const char* path;
    int depth;  // levels of subkeys below the place that the import may keep
};

std::u16string Widened(const char* ascii) {
    return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii));
}

void CopyValues(HKEY key, RegistryImport& import) {
    std::u16string name(kLongestValueName, u'\0');
    std::vector<std::uint8_t> data;
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = kLongestValueName;
        DWORD type = 0;
        DWORD dataSize = 0;
        if (RegEnumValueW(key, index, reinterpret_cast<wchar_t*>(name.data()), &nameSize, nullptr,
                          &type, nullptr, &dataSize) != ERROR_SUCCESS) {
            return;
        }
        data.resize(dataSize);
        nameSize = kLongestValueName;
        if (RegEnumValueW(key, index, reinterpret_cast<wchar_t*>(name.data()), &nameSize, nullptr,
                          &type, data.data(), &dataSize) != ERROR_SUCCESS) {
            continue;
        }
        data.resize(dataSize);
        import.SetValue(std::u16string_view(name.data(), nameSize), type, data,
                        TextEncoding::Utf16);
    }
}

struct Source {
    HKEY root;
    REGSAM access;  // reading, in the DLL's view
    std::u16string rootName;
};

// Copies the key the DLL names `dllPath`, stored at `machinePath`, and `depth` levels of subkeys
// below it, parents first, as an export lists them.
void CopyKey(const Source& source, const std::u16string& dllPath, const std::u16string& machinePath,
             int depth, RegistryImport& import) {
    const ReadKey key(source.root, dllPath, source.access);
    if (key.get() == nullptr) return;
    import.OpenKey(source.rootName + u"\\" + machinePath);
    CopyValues(key.get(), import);
    if (depth == 0) return;
    std::vector<std::u16string> children;
    std::u16string name(kLongestKeyName, u'\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = kLongestKeyName;
        if (RegEnumKeyExW(key.get(), index, reinterpret_cast<wchar_t*>(name.data()), &nameSize,
                          nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        children.emplace_back(name.data(), nameSize);
    }
    for (const std::u16string& child : children) {
        CopyKey(source, dllPath + u"\\" + child, machinePath + u"\\" + child, depth - 1, import);
    }
}

// Opens keys by the path the machine stores them at, WOW6432Node named where it is: on 64-bit
// Windows that is the 64-bit view's path, which a 32-bit tool must ask for, or its own
// redirection would look for WOW6432Node inside WOW6432Node.
class MachinePathRegistry final : public ForwardingRegistry {
public:
    MachinePathRegistry(RegistryAccess& inner, bool machineIs64Bit)
        : ForwardingRegistry(inner), viewFlag_(machineIs64Bit ? KEY_WOW64_64KEY : 0) {}

    long RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                       std::uint32_t access, RegHandle* result) override {
        return inner().RegOpenKeyExA(key, subKey, options, access | viewFlag_, result);
    }

private:
    std::uint32_t viewFlag_;  // none where there is one view: Windows 2000 refuses the flags
};

}  // namespace

bool LiveMachineIs64Bit() {
#ifdef _WIN64
    return true;
#else
    // Looked up, not imported: Windows XP before its second service pack lacks it, and is
    // 32-bit only.
    using IsWow64 = BOOL(WINAPI*)(HANDLE, BOOL*);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto isWow64 = kernel == nullptr ? nullptr
                                           : reinterpret_cast<IsWow64>(reinterpret_cast<void (*)()>(
                                                 GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64;
#endif
}

void CopyLiveRegistry(RegistryView view, RegistryImport& import) {
    const Place places[] = {
        {kHkeyLocalMachine, kProductKeyPath, 2},
        {kHkeyLocalMachine, kUninstallRootPath, 2},
        {kHkeyCurrentUser, kTitlesPath, 0},
    };
    // The view is named only where there are two; Windows 2000 refuses the flags.
    REGSAM access = KEY_READ;
    if (view.redirected()) access |= KEY_WOW64_32KEY;
    if (view.dllBits() == 64) access |= KEY_WOW64_64KEY;
    for (const Place& place : places) {
        // The layer keeps the predefined roots' Win32 values.
        const Source source{reinterpret_cast<HKEY>(place.root), access,
                            Widened(RootName(place.root))};
        CopyKey(source, Widened(place.path),
                Widened(view.MachinePath(place.root, place.path).c_str()), place.depth, import);
    }
}

std::optional<CounterChange> RaiseLiveCounter(const std::string& keyPath, std::uint32_t added) {
    // Raised without the lock, the counter could lose a running setup's decrement.
    NamedMutexLock lock(LockScope::Machine);
    const SharedStateGuard guard(lock);
    if (!guard.held()) return std::nullopt;
    MachinePathRegistry machine(SystemRegistry(), LiveMachineIs64Bit());
    return RaiseComponentCounter(machine, keyPath.c_str(), added);
}

}  // namespace instdll::inspect
