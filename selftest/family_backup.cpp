#include "selftest/family_backup.h"

#include <windows.h>

#include <fstream>
#include <variant>

namespace instdll::selftest {
namespace {

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

class OpenedKey {
public:
    OpenedKey(HKEY root, const std::wstring& path, REGSAM access, bool create) {
        const LONG result = create ? RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access,
                                                     nullptr, &key_, nullptr)
                                   : RegOpenKeyExW(root, path.c_str(), 0, access, &key_);
        if (result != ERROR_SUCCESS) key_ = nullptr;
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    ~OpenedKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// root\path and everything below it, parents before their subkeys.
void ReadTree(const FamilyKey& key, std::vector<RegFileKey>& out) {
    const OpenedKey opened(key.root, key.path, KEY_READ, false);
    if (opened.get() == nullptr) return;
    DWORD longestName = 0;
    DWORD largestData = 0;
    RegQueryInfoKeyW(opened.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &longestName, &largestData, nullptr, nullptr);
    RegFileKey read{U16(RootedPath(key)), {}};
    std::wstring name(longestName + 1, L'\0');
    std::vector<std::uint8_t> data(largestData + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(opened.get(), index, name.data(), &nameSize, nullptr, &type, data.data(),
                          &dataSize) != ERROR_SUCCESS)
            break;
        read.values.push_back({U16(name.substr(0, nameSize)), type,
                               std::vector<std::uint8_t>(data.data(), data.data() + dataSize)});
    }
    out.push_back(std::move(read));
    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
        wchar_t subkey[256];
        DWORD size = 256;
        if (RegEnumKeyExW(opened.get(), index, subkey, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.emplace_back(subkey, size);
    }
    for (const std::wstring& subkey : subkeys) ReadTree({key.root, key.path + L"\\" + subkey}, out);
}

std::vector<RegFileKey> ReadAll(const std::vector<FamilyKey>& keys) {
    std::vector<RegFileKey> contents;
    for (const FamilyKey& key : keys) ReadTree(key, contents);
    return contents;
}

FamilyKey Unrooted(const std::u16string& rooted) {
    const std::wstring path = Wide(rooted);
    const std::size_t cut = path.find(L'\\');
    const HKEY root =
        path.compare(0, cut, L"HKEY_LOCAL_MACHINE") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    return {root, path.substr(cut + 1)};
}

}  // namespace

FamilyBackup::FamilyBackup(const std::vector<FamilyKey>& keys)
    : keys_(keys), contents_(ReadAll(keys)) {}

bool FamilyBackup::WriteRegFile(const std::string& path) const {
    const auto bytes = RegFileBytes(contents_);
    // Keys no .reg line can carry exactly: no backup rather than one that restores less.
    if (!std::holds_alternative<std::string>(bytes)) return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << std::get<std::string>(bytes);
    file.close();
    return !file.fail();
}

bool FamilyBackup::PutBack() const {
    for (const RegFileKey& key : contents_) {
        const FamilyKey where = Unrooted(key.path);
        const OpenedKey opened(where.root, where.path, KEY_WRITE, true);
        if (opened.get() == nullptr) continue;
        for (const RegFileValue& value : key.values) {
            RegSetValueExW(opened.get(), Wide(value.name).c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size()));
        }
    }
    return ReadAll(keys_) == contents_;
}

}  // namespace instdll::selftest
