#pragma once

#include <windows.h>

#include <string>

namespace instdll::testing {

// One character of the session's ANSI code page that byte-wise code can get wrong: under 932
// U+8868, whose second byte 0x5C reads as a backslash alone; under 1251 a Cyrillic letter.
inline std::string CodePageCharacter() {
    switch (GetACP()) {
        case 932:
            return "\x95\x5C";
        case 1251:
            return "\xC6";
        default:
            return "\xE9";
    }
}

// A name made of such characters: under 932 U+8868, U+30BD and U+80FD, each ending in 0x5C.
inline std::string CodePageWord() {
    switch (GetACP()) {
        case 932:
            return "\x95\x5C\x83\x5C\x94\x5C";
        case 1251:
            return "\xCF\xE0\xEF\xEA\xE0";
        default:
            return "Zk\xE9";
    }
}

}  // namespace instdll::testing
