#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/wine/loaded_library.h"

namespace instdll::testing {
namespace {

std::string VersionString(const std::vector<char>& block, const char* name) {
    char* text = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) {
        return "<missing>";
    }
    return std::string(text, length > 0 ? length - 1 : 0);
}

TEST(VersionResource, NamesTheFileAndTheBuildsVersion) {
    LoadedInstDll dll;
    ASSERT_TRUE(dll.loaded());
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(dll.module(), path, sizeof path), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u) << "no VERSIONINFO resource";
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

    EXPECT_EQ(VersionString(block, "FileVersion"), INSTDLL_EXPECTED_VERSION);
    EXPECT_EQ(VersionString(block, "ProductVersion"), INSTDLL_EXPECTED_VERSION);
    EXPECT_EQ(VersionString(block, "OriginalFilename"), "InstDLL.dll");
    EXPECT_NE(VersionString(block, "FileDescription"), "<missing>");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string fixedVersion = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                     std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                     std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(fixedVersion, INSTDLL_EXPECTED_VERSION);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

}  // namespace
}  // namespace instdll::testing
