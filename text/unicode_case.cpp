#include "text/unicode_case.h"

namespace instdll {
namespace {

struct Range {
    char32_t first, last;
};

bool In(char32_t c, Range range) { return c >= range.first && c <= range.last; }

// Blocks where each upper-case letter is followed by its lower-case one: the lower-case letters
// sit at odd (or, in the second list, even) code points.
constexpr Range kPairsLowerOdd[] = {{0x0100, 0x012F}, {0x0132, 0x0137}, {0x014A, 0x0177},
                                    {0x0460, 0x0481}, {0x048A, 0x04BF}, {0x04D0, 0x04FF},
                                    {0x1E00, 0x1E95}, {0x1EA0, 0x1EFF}};
constexpr Range kPairsLowerEven[] = {{0x0139, 0x0148}, {0x0179, 0x017E}, {0x04C1, 0x04CE}};

// Lower-case letters with an upper-case form at a fixed distance below them.
struct Shift {
    Range lower;
    char32_t distance;
};
constexpr Shift kShifts[] = {
    {{U'a', U'z'}, 0x20},     {{0x00E0, 0x00F6}, 0x20}, {{0x00F8, 0x00FE}, 0x20},
    {{0x03B1, 0x03C1}, 0x20}, {{0x03C3, 0x03CB}, 0x20}, {{0x03AD, 0x03AF}, 0x25},
    {{0x03CD, 0x03CE}, 0x3F}, {{0x0430, 0x044F}, 0x20}, {{0x0450, 0x045F}, 0x50},
    {{0xFF41, 0xFF5A}, 0x20},
};

struct Single {
    char32_t lower, upper;
};
constexpr Single kSingles[] = {{0x00FF, 0x0178}, {0x0192, 0x0191}, {0x01A1, 0x01A0},
                               {0x01B0, 0x01AF}, {0x03AC, 0x0386}, {0x03C2, 0x03A3},
                               {0x03CC, 0x038C}};

}  // namespace

char32_t UpperCase(char32_t c) {
    for (const Shift& shift : kShifts) {
        if (In(c, shift.lower)) return c - shift.distance;
    }
    for (const Range& range : kPairsLowerOdd) {
        if (In(c, range) && c % 2 == 1) return c - 1;
    }
    for (const Range& range : kPairsLowerEven) {
        if (In(c, range) && c % 2 == 0) return c - 1;
    }
    for (const Single& single : kSingles) {
        if (c == single.lower) return single.upper;
    }
    return c;
}

}  // namespace instdll
