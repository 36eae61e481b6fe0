#include "text/host_code_page.h"

#include <stdexcept>
#include <string_view>
#include <utility>

#include "text/code_pages.h"
#include "text/unicode_case.h"
#include "text/utf8.h"

namespace instdll {
namespace {

using CasePair = std::pair<unsigned char, unsigned char>;  // upper, lower

constexpr CasePair kCp1252Pairs[] = {{0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}};
constexpr CasePair kCp1251Pairs[] = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                     {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
                                     {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
                                     {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};

}  // namespace

HostCodePage::HostCodePage(unsigned codePage) : codePage_(codePage) {
    for (unsigned i = 0; i < 256; ++i) upper_[i] = static_cast<unsigned char>(i);
    for (unsigned c = 'a'; c <= 'z'; ++c) upper_[c] = static_cast<unsigned char>(c - 0x20);
    switch (codePage) {
        case 1252:
            for (unsigned c = 0xE0; c <= 0xFE; ++c) {
                if (c != 0xF7) upper_[c] = static_cast<unsigned char>(c - 0x20);
            }
            for (auto [upper, lower] : kCp1252Pairs) upper_[lower] = upper;
            break;
        case 1251:
            for (unsigned c = 0xE0; c <= 0xFF; ++c)
                upper_[c] = static_cast<unsigned char>(c - 0x20);
            for (auto [upper, lower] : kCp1251Pairs) upper_[lower] = upper;
            break;
        case 932:
        case kUtf8CodePage:
            break;
        default:
            throw std::invalid_argument("unsupported code page");
    }
}

bool HostCodePage::IsLeadByte(unsigned char byte) const {
    return IsDoubleByteLeadByte(codePage_, byte);
}

bool HostCodePage::IsUtf8() const { return codePage_ == kUtf8CodePage; }

int HostCodePage::CompareNoCase(const char* a, const char* b) const {
    if (IsUtf8()) return CompareUtf8NoCase(a, b);
    const auto* x = reinterpret_cast<const unsigned char*>(a == nullptr ? "" : a);
    const auto* y = reinterpret_cast<const unsigned char*>(b == nullptr ? "" : b);
    for (;; ++x, ++y) {
        // A trail byte is compared as it is: folding applies to single-byte characters only.
        const bool pair = IsLeadByte(*x) && *x == *y && x[1] != '\0';
        if (pair) {
            ++x;
            ++y;
            if (*x != *y) return *x < *y ? -1 : 1;
            continue;
        }
        const unsigned char ux = upper_[*x];
        const unsigned char uy = upper_[*y];
        if (ux != uy) return ux < uy ? -1 : 1;
        if (*x == '\0') return 0;
    }
}

// Character by character through Unicode, as lstrcmpiA compares. A byte that starts no
// well-formed character stands for itself, above every code point, so it equals only itself.
int HostCodePage::CompareUtf8NoCase(const char* a, const char* b) const {
    const std::string_view x(a == nullptr ? "" : a);
    const std::string_view y(b == nullptr ? "" : b);
    const auto next = [](std::string_view text, std::size_t& at) -> char32_t {
        if (at == text.size()) return 0;
        const std::size_t length = WellFormedUtf8At(text, at);
        if (length == 0) return 0x110000 + static_cast<unsigned char>(text[at++]);
        const char32_t c = UpperCase(Utf8CodePoint(text, at, length));
        at += length;
        return c;
    };
    for (std::size_t i = 0, j = 0;;) {
        const char32_t cx = next(x, i);
        const char32_t cy = next(y, j);
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
    }
}

}  // namespace instdll
