// The .reg files instdll-inspect writes, imported by the regedit a double-click starts: every
// awkward name and value the writer accepts comes back byte for byte.
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "gtest/gtest.h"
#include "regfile/reg_file_writer.h"
#include "tests/common/awkward_reg_keys.h"
#include "tests/wine/child_process.h"
#include "tests/wine/registry_snapshot.h"

namespace instdll::testing {
namespace {

constexpr char kScratchKey[] = "Software\\ZkRegFileWineTest";
constexpr char16_t kRoot[] = u"HKEY_CURRENT_USER\\Software\\ZkRegFileWineTest";

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// The values of `path` (from HKEY_CURRENT_USER), in name order; nothing for a missing key.
std::vector<RegFileValue> ValuesOf(std::u16string_view path) {
    const std::u16string_view root = u"HKEY_CURRENT_USER\\";
    HKEY key = nullptr;
    std::vector<RegFileValue> values;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path.substr(root.size())).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS) {
        ADD_FAILURE() << "no key " << std::string(path.begin(), path.end());
        return values;
    }
    std::vector<BYTE> data(1 << 16);
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            break;
        }
        values.push_back({std::u16string(name, name + nameLength), type,
                          std::vector<std::uint8_t>(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size))});
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end(),
              [](const RegFileValue& a, const RegFileValue& b) { return a.name < b.name; });
    return values;
}

TEST(RegFileWineTest, RegeditImportsAwkwardNamesAndDataByteForByte) {
    DeleteTree(HKEY_CURRENT_USER, kScratchKey);
    const std::vector<RegFileKey> keys = AwkwardKeys(kRoot);
    const auto bytes = RegFileBytes(keys);
    ASSERT_TRUE(std::holds_alternative<std::string>(bytes));
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string file =
        std::string(dir) + "instdll-awkward-" + std::to_string(GetCurrentProcessId()) + ".reg";
    std::ofstream(file, std::ios::binary) << std::get<std::string>(bytes);
    EXPECT_EQ(ImportWithRegedit(file), 0U);
    DeleteFileA(file.c_str());
    for (const RegFileKey& key : keys) {
        SCOPED_TRACE(std::string(key.path.begin(), key.path.end()));
        const std::vector<RegFileValue> values = ValuesOf(key.path);
        ASSERT_EQ(values.size(), key.values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_EQ(values[i], key.values[i]) << "value " << i;
        }
    }
    DeleteTree(HKEY_CURRENT_USER, kScratchKey);
}

}  // namespace
}  // namespace instdll::testing
