#include "text/ansi_text.h"

#include <cstring>

#include "gtest/gtest.h"
#include "text/host_code_page.h"

namespace instdll {
namespace {

struct SubstringCase {
    const char* rule;
    std::string actual;
    std::string expected;
};

TEST(AnsiText, SubstringRulesCountBytesAndClampToTheText) {
    const std::string text = "abcdef";
    const SubstringCase cases[] = {
        {"left 3", LeftBytes(text, 3), "abc"},
        {"left past end", LeftBytes(text, 99), "abcdef"},
        {"left negative", LeftBytes(text, -1), ""},
        {"right 2", RightBytes(text, 2), "ef"},
        {"right past end", RightBytes(text, 7), "abcdef"},
        {"right negative", RightBytes(text, -4), ""},
        {"mid inside", MidBytes(text, 2, 3), "cde"},
        {"mid runs past end", MidBytes(text, 4, 10), "ef"},
        {"mid negative position", MidBytes(text, -3, 2), "ab"},
        {"mid negative count", MidBytes(text, 1, -1), ""},
        {"mid at end", MidBytes(text, 6, 1), ""},
        {"mid past end", MidBytes(text, 60, 1), ""},
        {"empty text", MidBytes("", 0, 1), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << c.rule;
}

TEST(AnsiText, FindIsExactAndFirst) {
    const HostCodePage western(1252);
    EXPECT_EQ(FindAtCharBoundary("x -f a -f b", "-f", western), 2);
    EXPECT_EQ(FindAtCharBoundary("x -F a", "-f", western), -1);
    EXPECT_EQ(FindAtCharBoundary("ab", "abc", western), -1);
    EXPECT_EQ(FindAtCharBoundary("", "-c", western), -1);
}

TEST(AnsiText, FindSkipsTrailBytesInADoubleByteCodePage) {
    // 0x83 0x5C is one character in code page 932 whose trail byte is a backslash; 0x83 0x2D
    // likewise ends in '-'.
    const std::string text =
        "\x83\x5C"
        "a\\b";
    EXPECT_EQ(FindAtCharBoundary(text, "\\", HostCodePage(932)), 3);
    EXPECT_EQ(FindAtCharBoundary(text, "\\", HostCodePage(1252)), 1);
    const std::string dash = "\x83-f x -f";
    EXPECT_EQ(FindAtCharBoundary(dash, "-f", HostCodePage(932)), 6);
    EXPECT_EQ(FindAtCharBoundary(dash, "-f", HostCodePage(1252)), 1);
}

TEST(AnsiText, LeadByteAtTheVeryEndIsStillSearched) {
    EXPECT_EQ(FindAtCharBoundary("ab\x83", "\x83", HostCodePage(932)), 2);
}

TEST(AnsiText, CharacterBoundariesNeverFallInsideADoubleByteCharacter) {
    // In code page 932: "a", then 0x95 0x5C, then a lone lead byte at the very end.
    const std::string text = "a\x95\\\x95";
    const HostCodePage japanese(932);
    const struct {
        std::size_t limit, boundary;
    } cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3}, {4, 4}, {99, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(CharBoundaryAtOrBefore(text, c.limit, japanese), c.boundary) << c.limit;
    EXPECT_EQ(CharBoundaryAtOrBefore(text, 2, HostCodePage(1252)), 2u);
    EXPECT_EQ(CharLengthAt(text, 1, japanese), 2u);
    EXPECT_EQ(CharLengthAt(text, 3, japanese), 1u);
    EXPECT_EQ(CharLengthAt(text, 4, japanese), 0u);
}

struct CompareCase {
    unsigned codePage;
    const char* a;
    const char* b;
    bool equal;
};

TEST(AnsiText, CaseInsensitiveEqualityFollowsTheCodePage) {
    const CompareCase cases[] = {
        {1252, "Zk:", "zK:", true},
        {1252, "C:\\A\\", "c:\\a\\", true},
        {1252, "C:\\A", "C:\\A\\", false},
        {1252, "\xC9t\xE9", "\xE9T\xC9", true},                        // Été / éTÉ
        {1252, "\x8A", "\x9A", true},                                  // Š / š
        {1252, "\xD7", "\xF7", false},                                 // × and ÷ are no letters
        {1251, "\xCF\xE0\xEF\xEA\xE0", "\xEF\xC0\xCF\xCA\xC0", true},  // Папка / пАПКА
        {1251, "\xA8", "\xB8", true},                                  // Ё / ё
        {1251, "\xAF", "\xBF", true},                                  // Ї / ї
        {1252, "", "", true},
        {1252, "a", "", false},
        {932, "\x82\x60", "\x82\x81", false},  // fullwidth A and a: distinct characters
        {932, "a\x82\x60", "A\x82\x60", true},
    };
    for (const auto& c : cases) {
        const HostCodePage codePage(c.codePage);
        EXPECT_EQ(codePage.CompareNoCase(c.a, c.b) == 0, c.equal)
            << c.codePage << ": '" << c.a << "' vs '" << c.b << "'";
    }
}

TEST(AnsiText, DeliveredTextStopsAtTheFirstZeroOrTheLastDeliveredByte) {
    const std::uint8_t bytes[] = {'a', 'b', 0, 'c', 'd'};
    EXPECT_EQ(DeliveredText(bytes, 5), "ab");
    EXPECT_EQ(DeliveredText(bytes, 2), "ab");
    EXPECT_EQ(DeliveredText(bytes, 1), "a");
    EXPECT_EQ(DeliveredText(bytes, 0), "");
    EXPECT_EQ(DeliveredText(bytes + 3, 2), "cd");
}

TEST(AnsiText, CopyToBufferNeverOverruns) {
    char buffer[5];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_TRUE(CopyToBuffer("abcd", buffer, 5));
    EXPECT_STREQ(buffer, "abcd");
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_FALSE(CopyToBuffer("abcde", buffer, 4));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[4], 'X');
    EXPECT_FALSE(CopyToBuffer("a", nullptr, 5));
}

}  // namespace
}  // namespace instdll
