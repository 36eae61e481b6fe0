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

void ExpectOutcome(const SelectionCase& c, const AnsiCodePage& codePage) {
    const SelectionOutcome outcome =
        DecideSelection(c.selectPressed, c.created, c.proposed, c.chosen, codePage);
    EXPECT_EQ(outcome.removeProposed, c.expected.removeProposed) << c.what;
    EXPECT_EQ(outcome.copyChoice, c.expected.copyChoice) << c.what;
    EXPECT_EQ(outcome.result, c.expected.result) << c.what;
}

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
        {"trailing backslash only", true, true, "C:\\App\\", "C:\\App", {false, true, 1}},
        {"trailing slash, other case", true, true, "c:\\app/", "C:\\App\\", {false, true, 1}},
        {"drive root", true, false, "C:\\", "C:\\", {false, true, 1}},
        {"parent of the proposed", true, false, "C:\\App\\", "C:\\", {true, true, 1}},
        {"cancel, created", false, true, "C:\\App", "", {true, false, 0}},
        {"cancel, existed", false, false, "C:\\App", "", {false, false, 0}},
        {"empty choice counts as none", true, true, "C:\\App", "", {true, false, 0}},
        {"choice too long for the buffer", true, false, "C:\\App", longPath, {false, false, 0}},
    };
    for (const auto& c : cases) ExpectOutcome(c, cyrillic);
}

TEST(ChooserPaths, ATrailByteOf0x5CIsNoTrailingSeparator) {
    // 0x95 0x5C is one character in code page 932; dropping its 0x5C would name another folder.
    const SelectionCase cases[] = {
        {"its 0x5C kept", true, true, "C:\\\x95\\", "C:\\\x95", {true, true, 1}},
        {"same, separator after it", true, true, "C:\\\x95\\\\", "C:\\\x95\\", {false, true, 1}},
    };
    for (const auto& c : cases) ExpectOutcome(c, HostCodePage(932));
}

TEST(ChooserPaths, AProposalWithoutItsZeroIsCutOnACharacterBoundary) {
    char buffer[kPathBufferSize];
    std::memset(buffer, 'p', sizeof buffer);
    // A double-byte character across the 259th and 260th bytes.
    buffer[258] = '\x95';
    buffer[259] = '\\';
    EXPECT_EQ(ProposedPath(buffer, HostCodePage(932)), std::string(258, 'p'));
    EXPECT_EQ(ProposedPath(buffer, HostCodePage(1252)), std::string(258, 'p') + "\x95");
    buffer[258] = 'p';
    buffer[259] = '\0';
    EXPECT_EQ(ProposedPath(buffer, HostCodePage(932)), std::string(259, 'p'));
    // A four-byte UTF-8 character across the 257th to 260th bytes.
    std::memcpy(buffer + 256, "\xF0\xA0\xAE\xB7", 4);
    EXPECT_EQ(ProposedPath(buffer, HostCodePage(65001)), std::string(256, 'p'));
    EXPECT_EQ(ProposedPath(buffer, HostCodePage(1252)), std::string(256, 'p') + "\xF0\xA0\xAE");
    EXPECT_EQ(ProposedPath("C:\\\x95\\", HostCodePage(932)), "C:\\\x95\\");
    EXPECT_EQ(ProposedPath(nullptr, HostCodePage(932)), "");
}

}  // namespace
}  // namespace instdll
