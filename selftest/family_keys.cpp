#include "selftest/family_keys.h"

#include "registry/registry_paths.h"

namespace instdll::selftest {
namespace {

std::wstring Wide(const char* ascii) {
    return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

// The family's first key under each root, from the paths the library uses.
std::wstring FamilyRoot(const char* path) {
    const std::wstring wide = Wide(path);
    return wide.substr(0, wide.find(L'\\', wide.find(L'\\') + 1));
}

constexpr wchar_t kVirtualStore[] = L"Software\\Classes\\VirtualStore\\MACHINE\\";

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool HasFamilyPrefix(const std::wstring& name) {
    const std::wstring prefix = Wide(kFamilyPrefix);
    return name.size() >= prefix.size() &&
           CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(),
                          static_cast<int>(prefix.size()), prefix.c_str(),
                          static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD size = 256;
        if (RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

}  // namespace

std::vector<FamilyKey> FamilyKeysPresent() {
    const std::wstring machineFamily = FamilyRoot(kProductKeyPath);  // SOFTWARE\Zk
    const std::wstring machineFamilyName = machineFamily.substr(machineFamily.find(L'\\') + 1);
    const std::vector<FamilyKey> fixed = {
        {HKEY_LOCAL_MACHINE, machineFamily},
        {HKEY_CURRENT_USER, FamilyRoot(kTitlesPath)},
        {HKEY_CURRENT_USER, kVirtualStore + machineFamily},
        {HKEY_CURRENT_USER,
         kVirtualStore + std::wstring(L"SOFTWARE\\WOW6432Node\\") + machineFamilyName},
    };
    std::vector<FamilyKey> present;
    for (const FamilyKey& key : fixed) {
        if (KeyExists(key.root, key.path)) present.push_back(key);
    }
    const std::wstring uninstallRoot = Wide(kUninstallRootPath);
    for (const std::wstring& name : SubkeyNames(HKEY_LOCAL_MACHINE, uninstallRoot)) {
        if (HasFamilyPrefix(name))
            present.push_back({HKEY_LOCAL_MACHINE, uninstallRoot + L"\\" + name});
    }
    return present;
}

bool DeleteKeyTree(HKEY root, const std::wstring& path) {
    // Removing a subkey renumbers the rest, so the names are read first.
    for (const std::wstring& name : SubkeyNames(root, path))
        DeleteKeyTree(root, path + L"\\" + name);
    const LONG result = RegDeleteKeyW(root, path.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool RemoveFamilyKeys() {
    bool removed = true;
    for (const FamilyKey& key : FamilyKeysPresent()) removed &= DeleteKeyTree(key.root, key.path);
    return removed;
}

std::wstring RootedPath(const FamilyKey& key) {
    return (key.root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE\\" : L"HKEY_CURRENT_USER\\") +
           key.path;
}

}  // namespace instdll::selftest
