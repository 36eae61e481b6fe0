#include "chooser/wide_text.h"

#include <string>

#include "gtest/gtest.h"

namespace instdll {
namespace {

constexpr std::size_t kLongest = WideText::kCapacity - 1;

struct LengthCase {
    std::size_t given;
    std::size_t kept;
};

TEST(WideText, KeepsWhatFitsWithItsZeroAndCutsTheRest) {
    const LengthCase cases[] = {{0, 0},
                                {1, 1},
                                {kLongest, kLongest},
                                {kLongest + 1, kLongest},
                                {4 * WideText::kCapacity, kLongest}};
    for (const LengthCase& c : cases) {
        std::u16string units;
        for (std::size_t i = 0; i < c.given; ++i) units += static_cast<char16_t>(u'a' + i % 26);
        const WideText text(units.data(), units.size());
        ASSERT_EQ(text.size(), c.kept) << c.given;
        EXPECT_EQ(text.c_str()[c.kept], L'\0') << c.given;
        for (std::size_t i = 0; i < c.kept; ++i)
            ASSERT_EQ(text.c_str()[i], static_cast<wchar_t>(units[i])) << c.given << " at " << i;
    }
}

TEST(WideText, CarriesCyrillicCodeUnitsUnchanged) {
    const std::u16string title = u"Вибір директорії";
    const WideText text(title.data(), title.size());
    EXPECT_EQ(std::wstring(text.c_str()), L"Вибір директорії");
}

TEST(WideText, StopsAtTheCountNotAtAZero) {
    const wchar_t units[] = L"ab\0cd";
    const WideText text(units, 4);
    EXPECT_EQ(text.size(), 4u);
    EXPECT_EQ(std::wstring(text.c_str(), text.size()), std::wstring(L"ab\0c", 4));
    EXPECT_TRUE(WideText().empty());
    EXPECT_EQ(WideText().c_str()[0], L'\0');
}

}  // namespace
}  // namespace instdll
