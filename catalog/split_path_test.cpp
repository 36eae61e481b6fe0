#include "catalog/split_path.h"

#include "gtest/gtest.h"
#include "text/host_code_page.h"

namespace instdll {
namespace {

struct SplitCase {
    unsigned codePage;
    const char* path;
    const char* directory;
    const char* file;
};

// 0x95 0x5C is one double-byte character in code page 932 and two characters, the second a
// backslash, in 1252.
const SplitCase kSplitCases[] = {
    {1252, "C:\\A\\B\\f.isu", "C:\\A\\B\\", "f.isu"},
    {1252, "C:f.isu", "C:", "f.isu"},
    {1252, "f.isu", "", "f.isu"},
    {1252, "/x/y.z", "/x/", "y.z"},
    {1252, "C:\\A.B\\f", "C:\\A.B\\", "f"},
    {1252, "C:\\A/B\\", "C:\\A/B\\", ""},
    {1252, "", "", ""},
    {1252, "C", "", "C"},
    {1252, "C:", "C:", ""},
    {1252, ":\\f", ":\\", "f"},
    {1252, "\\\\server\\share\\f.isu", "\\\\server\\share\\", "f.isu"},
    {1252, "C:\\A\\\x95\\f.isu", "C:\\A\\\x95\\", "f.isu"},
    {932, "C:\\A\\\x95\\f.isu", "C:\\A\\", "\x95\\f.isu"},
    {932, "C:\\\x95\\\\f.isu", "C:\\\x95\\\\", "f.isu"},
    {932, "C:\\A\\\x95", "C:\\A\\", "\x95"},
    {932, "\x95\\", "", "\x95\\"},
    // The drive is taken by position alone, before any lead byte is considered.
    {932, "\x95:\\f", "\x95:\\", "f"},
};

TEST(SplitPath, CutsAfterTheLastSeparatorOutsideDoubleByteCharacters) {
    for (const SplitCase& c : kSplitCases) {
        const HostCodePage codePage(c.codePage);
        const PathParts parts = SplitPath(c.path, codePage);
        EXPECT_EQ(parts.directory, c.directory) << c.codePage << " " << c.path;
        EXPECT_EQ(parts.file, c.file) << c.codePage << " " << c.path;
    }
}

}  // namespace
}  // namespace instdll
