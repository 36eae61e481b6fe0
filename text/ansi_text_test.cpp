#include "text/ansi_text.h"

#include <cstring>

#include "gtest/gtest.h"
#include "text/host_code_page.h"
#include "text/unicode_case.h"
#include "text/utf8.h"

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
        {65001, "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0",
         "\xD0\xBF\xD0\x90\xD0\x9F\xD0\x9A\xD0\x90", true},       // Папка / пАПКА
        {65001, "\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", true},  // Été / éTÉ
        {65001, "\xC5\x81\xC3\xB3", "\xC5\x82\xC3\x93", true},    // Łó / łÓ
        {65001,
         "\xF0\xA0\xAE\xB7"
         "a",
         "\xF0\xA0\xAE\xB7"
         "A",
         true},
        {65001, "\xF0\xA0\xAE\xB7", "\xF0\xA0\xAE\xB8", false},
        {65001, "\xC3", "\xC3\x83", false},  // a cut sequence is a byte of its own
        {65001, "\xFF", "\xFF", true},
    };
    for (const auto& c : cases) {
        const HostCodePage codePage(c.codePage);
        EXPECT_EQ(codePage.CompareNoCase(c.a, c.b) == 0, c.equal)
            << c.codePage << ": '" << c.a << "' vs '" << c.b << "'";
    }
}

// Under UTF-8 no byte is a lead byte, yet a character takes up to four: 0xF0 0xA0 0xAE 0xB7 is
// U+20BB7. A byte that starts no sequence, or one cut short, counts on its own.
TEST(AnsiText, CharactersOfUtf8AreTakenWhole) {
    const HostCodePage utf8(65001);
    const struct {
        std::string text;
        std::size_t at, length;
    } lengths[] = {
        {"a\xF0\xA0\xAE\xB7", 1, 4},
        {"\xE2\x82\xAC", 0, 3},
        {"\xD0\x96", 0, 2},
        {"\xF0\xA0\xAE", 0, 1},
        {"\xF0\xA0\xAE"
         "a",
         0, 1},
        {"\xF5\x80\x80\x80", 0, 1},
        {"\xC0\xAF", 0, 1},
        {"\xB7", 0, 1},
    };
    for (const auto& c : lengths) EXPECT_EQ(CharLengthAt(c.text, c.at, utf8), c.length) << c.text;

    const std::string text = "ab\xF0\xA0\xAE\xB7\xD0\x96";
    const struct {
        std::size_t limit, boundary;
    } cuts[] = {{2, 2}, {3, 2}, {5, 2}, {6, 6}, {7, 6}, {8, 8}};
    for (const auto& c : cuts)
        EXPECT_EQ(CharBoundaryAtOrBefore(text, c.limit, utf8), c.boundary) << c.limit;
    EXPECT_EQ(FindAtCharBoundary("\xF0\xA0\xAE\xB7\xAE", "\xAE", utf8), 4);
}

TEST(Utf8, WellFormedMeansNoCutOverlongSurrogateOrValueBeyondUnicode) {
    const struct {
        const char* text;
        bool wellFormed;
    } cases[] = {
        {"", true},
        {"plain", true},
        {"\xD0\x96\xE2\x82\xAC\xF0\xA0\xAE\xB7", true},
        {"\xF4\x8F\xBF\xBF", true},
        {"\xEF\xBF\xBD", true},
        {"\xF0\xA0\xAE", false},
        {"\xB7", false},
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false},
        {"\xED\xA0\x80", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF8\x88\x80\x80\x80", false},
        {"a\xE2\x82", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWellFormedUtf8(c.text), c.wellFormed) << c.text;
}

TEST(UnicodeCase, FoldsTheLettersOfTheAnsiCodePagesScripts) {
    const struct {
        char32_t lower, upper;
    } pairs[] = {
        {U'z', U'Z'},     {0x00E9, 0x00C9},   {0x00FF, 0x0178}, {0x0142, 0x0141}, {0x017A, 0x0179},
        {0x015F, 0x015E}, {0x03C2, 0x03A3},   {0x03AC, 0x0386}, {0x03CE, 0x038F}, {0x0451, 0x0401},
        {0x0491, 0x0490}, {0x044F, 0x042F},   {0x1EF9, 0x1EF8}, {0x01B0, 0x01AF}, {0xFF41, 0xFF21},
        {0x00F7, 0x00F7}, {0x20BB7, 0x20BB7},
    };
    for (const auto& p : pairs) {
        EXPECT_EQ(UpperCase(p.lower), p.upper) << std::hex << static_cast<unsigned>(p.lower);
        EXPECT_EQ(UpperCase(p.upper), p.upper) << std::hex << static_cast<unsigned>(p.upper);
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
