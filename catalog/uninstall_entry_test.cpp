#include "catalog/uninstall_entry.h"

#include "gtest/gtest.h"
#include "tests/common/catalog_seed.h"
#include "text/host_code_page.h"

namespace instdll {
namespace {

struct CommandCase {
    unsigned codePage;
    std::string command;
    UninstallCommandParts expected;
};

// A command of the family's own uninstall program with `tail` after it.
std::string Uninstaller(const char* tail) {
    return testing::kFamilyUninstaller + std::string(tail);
}

// Where no "-f" is found, the arguments start two bytes into the program's path.
constexpr char kProgramAfterDrive[] = "\\Program Files\\Zk\\Common\\zkuninst.exe";

const CommandCase kCommandCases[] = {
    {1252,
     Uninstaller(" -f\"D:\\A\\u1.isu\" X -c\"D:\\A\\uninst.dll\""),
     {"D:\\A\\", "u1.isu", "X", "D:\\A\\uninst.dll"}},
    {1252,
     Uninstaller(" -f\"D:\\A\\u1.isu\" -c\"D:\\A\\uninst.dll\""),
     {"D:\\A\\", "u1.isu", "", "D:\\A\\uninst.dll"}},
    {1252, Uninstaller(" -f\"D:\\A\\u1.isu\" X"), {"D:\\A\\", "u1.isu", "", ""}},
    {1252,
     Uninstaller(" -f\"D:\\A\\u1.isu\" -a b -c\"D:\\A\\uninst.dll\" -x"),
     {"D:\\A\\", "u1.isu", "-a b", "D:\\A\\uninst.dll"}},
    // Without ".isu" the arguments start right after "-f" and its delimiter.
    {1252,
     Uninstaller(" -f\"D:\\A\\u1.log\" X -c\"D:\\uninst.dll\""),
     {"", "", "D:\\A\\u1.log\" X", "D:\\uninst.dll"}},
    {1252, Uninstaller(" -c\"D:\\uninst.dll\""), {"", "", kProgramAfterDrive, "D:\\uninst.dll"}},
    {1252,
     Uninstaller(" X Y -c\"D:\\uninst.dll\""),
     {"", "", kProgramAfterDrive + std::string(" X Y"), "D:\\uninst.dll"}},
    {1252, Uninstaller(" -c\"D:\\other.dll\""), {"", "", kProgramAfterDrive, ""}},
    {1252, "", {"", "", "", ""}},
    {1252, "-f", {"", "", "", ""}},
    {1252, "-c", {"", "", "", ""}},
    // Markers in the wrong order give negative counts, hence empty parts.
    {1252, "a.isu -f\"b\" uninst.dll -c\"x\"", {"", "", "f\"b\" uninst.dll", ""}},
    {1252, "-f\"x.isu\"", {"", "x.isu", "", ""}},
    // Markers compare exactly: "-F", ".ISU" and "-C" are not markers.
    {1252, Uninstaller(" -F\"D:\\A\\u1.ISU\" X -C\"D:\\A\\uninst.dll\""), {"", "", "", ""}},
    // Only the first ".isu" closes the log path.
    {1252,
     Uninstaller(" -f\"D:\\a.isu\\b.isu\" X -c\"uninst.dll\""),
     {"D:\\", "a.isu", ".isu\" X", "uninst.dll"}},
    // 0x81 0x75 is one character in code page 932, so "uninst.dll" after 0x81 is no marker.
    {1252,
     Uninstaller(" -f\"D:\\l.isu\" X -c\"D:\\\x81uninst.dll\""),
     {"D:\\", "l.isu", "X", "D:\\\x81uninst.dll"}},
    {932, Uninstaller(" -f\"D:\\l.isu\" X -c\"D:\\\x81uninst.dll\""), {"D:\\", "l.isu", "X", ""}},
    {932,
     Uninstaller(" -f\"D:\\\x95\\l.isu\" X -c\"D:\\uninst.dll\""),
     {"D:\\", "\x95\\l.isu", "X", "D:\\uninst.dll"}},
    // The character before "-c" goes whole, even when it has two bytes, the second 0x5C.
    {932,
     Uninstaller(" -f\"D:\\l.isu\" X\x95\\-c\"D:\\uninst.dll\""),
     {"D:\\", "l.isu", "X", "D:\\uninst.dll"}},
    {1252,
     Uninstaller(" -f\"D:\\l.isu\" X\x95\\-c\"D:\\uninst.dll\""),
     {"D:\\", "l.isu", "X\x95", "D:\\uninst.dll"}},
    {932,
     Uninstaller(" -f\"D:\\l.isu\" \x95\\-c\"D:\\uninst.dll\""),
     {"D:\\", "l.isu", "", "D:\\uninst.dll"}},
    // Under UTF-8 the character before "-c" may take four bytes: U+20BB7.
    {65001,
     Uninstaller(" -f\"D:\\\xF0\xA0\xAE\xB7\\l.isu\" X\xF0\xA0\xAE\xB7-c\"D:\\uninst.dll\""),
     {"D:\\\xF0\xA0\xAE\xB7\\", "l.isu", "X", "D:\\uninst.dll"}},
    {1252,
     Uninstaller(" -f\"D:\\l.isu\" X\xF0\xA0\xAE\xB7-c\"D:\\uninst.dll\""),
     {"D:\\", "l.isu", "X\xF0\xA0\xAE", "D:\\uninst.dll"}},
};

TEST(ParseUninstallCommand, CutsTheCommandByItsMarkers) {
    for (const CommandCase& c : kCommandCases) {
        const HostCodePage codePage(c.codePage);
        const UninstallCommandParts parts = ParseUninstallCommand(c.command, codePage);
        EXPECT_EQ(parts.LogDir, c.expected.LogDir) << c.command;
        EXPECT_EQ(parts.LogFile, c.expected.LogFile) << c.command;
        EXPECT_EQ(parts.UninstallArgs, c.expected.UninstallArgs) << c.command;
        EXPECT_EQ(parts.CustomDll, c.expected.CustomDll) << c.command;
    }
}

struct DisplayNameCase {
    unsigned codePage;
    const char* displayName;
    const char* key;
};

const DisplayNameCase kDisplayNameCases[] = {
    {1252, "Zk:Sample 7.5 Net", "Zk:Sample Net"},
    {1252, "Zk:Sample 7.5", "Zk:Sample "},
    {1252, "Zk:Sample7.5", "Zk:Sample"},
    {1252, "7.5", ""},
    {1252, "7.5x", ""},
    {1252, "Zk:Sample 7.5 7.5 Net", "Zk:Sample 7.5 Net"},
    {1252, "Zk:Sample 7.4 Net", "Zk:Sample 7.4 Net"},
    {1252, "Zk:Sample 17.50", "Zk:Sample 1"},
    {1252, "", ""},
    // A double-byte character's trail byte never starts the version.
    {932, "Zk:\x81\x37.5 Net", "Zk:\x81\x37.5 Net"},
    {1252, "Zk:\x81\x37.5 Net", "Zk:\x81Net"},
    // The character after the version goes whole; 0x95 0x5C is one in code page 932.
    {932, "Zk:Sample 7.5\x95\\Net", "Zk:Sample Net"},
    {1252, "Zk:Sample 7.5\x95\\Net", "Zk:Sample \\Net"},
    {932, "Zk:Sample 7.5\x95", "Zk:Sample "},
    {65001, "Zk:Sample 7.5\xF0\xA0\xAE\xB7Net", "Zk:Sample Net"},
    {65001, "Zk:Sample 7.5\xD0\x96Net", "Zk:Sample Net"},
    {65001, "Zk:Sample 7.5\xF0\xA0Net", "Zk:Sample \xA0Net"},  // a cut sequence: one byte goes
};

TEST(CatalogKeyOfDisplayName, CutsTheFirstVersionAndTheCharacterAfterIt) {
    for (const DisplayNameCase& c : kDisplayNameCases) {
        const HostCodePage codePage(c.codePage);
        EXPECT_EQ(CatalogKeyOfDisplayName(c.displayName, codePage), c.key) << c.displayName;
    }
}

}  // namespace
}  // namespace instdll
