#include "chooser/chooser_paths.h"

#include <cstring>

#include "gtest/gtest.h"
#include "text/host_code_page.h"

namespace instdll {
namespace {

TEST(ChooserPaths, FolderReplyBeyondTheBufferOrFailedLeavesTheEditBoxEmpty) {
    char folder[kPathBufferSize];
    std::memset(folder, 'd', sizeof folder);
    folder[259] = '\0';
    const std::string longest(259, 'd');
    const struct {
        long long reply;
        std::string expected;
    } cases[] = {
        {260, longest},                            // 259 characters and the zero: fits exactly
        {261, ""},                                 // needs one byte more
        {-1, ""},                                  // failure, read as 0xFFFFFFFF
        {-260, ""},     {0x100000001LL, longest},  // only the low 32 bits count
    };
    for (const auto& c : cases)
        EXPECT_EQ(FolderPathFromReply(c.reply, folder), c.expected) << "reply " << c.reply;
}

TEST(ChooserPaths, FolderReplyNeverReadsPastTheBuffer) {
    char folder[kPathBufferSize];
    std::memset(folder, 'x', sizeof folder);
    EXPECT_EQ(FolderPathFromReply(12, folder).size(), kPathBufferSize);
    EXPECT_EQ(FolderPathFromReply(12, nullptr), "");
}

TEST(ChooserPaths, DirectoryListJoinsWithOneBackslashPerItem) {
    const HostCodePage western(1252);
    EXPECT_EQ(JoinDirectoryListItems({"c:\\", "windows", "system"}, western),
              "c:\\windows\\system\\");
    EXPECT_EQ(JoinDirectoryListItems({"c:\\"}, western), "c:\\");
    EXPECT_EQ(JoinDirectoryListItems({}, western), "");
    // An empty item still gets its separator, as an empty path does.
    EXPECT_EQ(JoinDirectoryListItems({""}, western), "\\");
}

TEST(ChooserPaths, DirectoryListTellsABackslashFromADoubleByteTrailByte) {
    // 0x95 0x5C is one character in code page 932 whose second byte is a backslash.
    const std::string name = "\x95\x5C";
    EXPECT_EQ(JoinDirectoryListItems({"c:\\", name}, HostCodePage(932)), "c:\\" + name + "\\");
    EXPECT_EQ(JoinDirectoryListItems({"c:\\", name}, HostCodePage(1252)), "c:\\" + name);
}

struct SelectionCase {
    const char* what;
    bool selectPressed;
    bool created;
    std::string proposed;
    std::string chosen;
    SelectionOutcome expected;
};

TEST(ChooserPaths, SelectionDecidesRemovalCopyAndResult) {
    const HostCodePage cyrillic(1251);
    const std::string longPath(260, 'p');
    const SelectionCase cases[] = {
        {"same folder chosen", true, true, "C:\\App", "C:\\App", {false, true, 1}},
        {"letter case only", true, true, "C:\\App", "c:\\APP", {false, true, 1}},
        {"Cyrillic case only",
         true,
         false,
         "C:\\\xCF\xF0\xE8",
         "C:\\\xEF\xD0\xC8",
         {false, true, 1}},
        {"another folder, created", true, true, "C:\\App", "D:\\Other", {true, true, 1}},
        {"another folder, existed", true, false, "C:\\App", "D:\\Other", {true, true, 1}},
        {"trailing backslash differs", true, true, "C:\\App\\", "C:\\App", {true, true, 1}},
        {"cancel, created", false, true, "C:\\App", "", {true, false, 0}},
        {"cancel, existed", false, false, "C:\\App", "", {false, false, 0}},
        {"empty choice counts as none", true, true, "C:\\App", "", {true, false, 0}},
        {"choice too long for the buffer", true, false, "C:\\App", longPath, {false, false, 0}},
    };
    for (const auto& c : cases) {
        const SelectionOutcome outcome =
            DecideSelection(c.selectPressed, c.created, c.proposed, c.chosen, cyrillic);
        EXPECT_EQ(outcome.removeProposed, c.expected.removeProposed) << c.what;
        EXPECT_EQ(outcome.copyChoice, c.expected.copyChoice) << c.what;
        EXPECT_EQ(outcome.result, c.expected.result) << c.what;
    }
}

}  // namespace
}  // namespace instdll
