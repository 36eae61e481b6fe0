#include "registry/win32_registry.h"

#include <windows.h>

#include <type_traits>

namespace instdll {
namespace {

HKEY ToHkey(RegHandle handle) { return reinterpret_cast<HKEY>(handle); }

// Win32 DWORD and the layer's uint32 are the same width on both architectures; the casts only
// bridge unsigned long and unsigned int.
LPDWORD ToDword(std::uint32_t* value) {
    static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
    return reinterpret_cast<LPDWORD>(value);
}

class HandleOut {
public:
    explicit HandleOut(RegHandle* target) : target_(target) {}
    HandleOut(const HandleOut&) = delete;
    HandleOut& operator=(const HandleOut&) = delete;
    ~HandleOut() {
        if (target_ != nullptr && opened_ != nullptr)
            *target_ = reinterpret_cast<RegHandle>(opened_);
    }
    PHKEY get() { return target_ == nullptr ? nullptr : &opened_; }

private:
    RegHandle* target_;
    HKEY opened_ = nullptr;
};

}  // namespace

long Win32Registry::RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                                  std::uint32_t access, RegHandle* result) {
    HandleOut out(result);
    return ::RegOpenKeyExA(ToHkey(key), subKey, options, access, out.get());
}

long Win32Registry::RegCreateKeyExA(RegHandle key, const char* subKey, const char* keyClass,
                                    std::uint32_t options, std::uint32_t access, RegHandle* result,
                                    std::uint32_t* disposition) {
    HandleOut out(result);
    return ::RegCreateKeyExA(ToHkey(key), subKey, 0, const_cast<char*>(keyClass), options, access,
                             nullptr, out.get(), ToDword(disposition));
}

long Win32Registry::RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) {
    HandleOut out(result);
    return ::RegCreateKeyA(ToHkey(key), subKey, out.get());
}

long Win32Registry::RegEnumKeyA(RegHandle key, std::uint32_t index, char* name,
                                std::uint32_t nameSize) {
    return ::RegEnumKeyA(ToHkey(key), index, name, nameSize);
}

long Win32Registry::RegEnumValueA(RegHandle key, std::uint32_t index, char* name,
                                  std::uint32_t* nameSize, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* dataSize) {
    return ::RegEnumValueA(ToHkey(key), index, name, ToDword(nameSize), nullptr, ToDword(type),
                           data, ToDword(dataSize));
}

long Win32Registry::RegQueryValueExA(RegHandle key, const char* valueName, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* dataSize) {
    return ::RegQueryValueExA(ToHkey(key), valueName, nullptr, ToDword(type), data,
                              ToDword(dataSize));
}

long Win32Registry::RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t dataSize) {
    return ::RegSetValueExA(ToHkey(key), valueName, 0, type, data, dataSize);
}

long Win32Registry::RegDeleteKeyA(RegHandle key, const char* subKey) {
    return ::RegDeleteKeyA(ToHkey(key), subKey);
}

long Win32Registry::RegDeleteValueA(RegHandle key, const char* valueName) {
    return ::RegDeleteValueA(ToHkey(key), valueName);
}

long Win32Registry::RegCloseKey(RegHandle key) { return ::RegCloseKey(ToHkey(key)); }

// At namespace scope rather than a function-local static: a guarded static costs the mingw
// runtime two handles that are never closed, leaked on every load of the DLL. Stateless and
// trivially destructible, it is usable whatever the order of initialisation and destruction.
namespace {
Win32Registry systemRegistry;
static_assert(std::is_trivially_destructible_v<Win32Registry>);
}  // namespace

RegistryAccess& SystemRegistry() { return systemRegistry; }

}  // namespace instdll
