#pragma once

#include <windows.h>

#include <string>

namespace instdll::testing {

// One character of the session's ANSI code page that byte-wise code can get wrong: under 932
// U+8868, whose second byte 0x5C reads as a backslash alone; under 1251 a Cyrillic letter; under
// UTF-8 U+20BB7, four bytes that no lead-byte test sees as one character, and two UTF-16 units.
inline std::string CodePageCharacter() {
    switch (GetACP()) {
        case 932:
            return "\x95\x5C";
        case CP_UTF8:
            return "\xF0\xA0\xAE\xB7";
        case 1251:
            return "\xC6";
        default:
            return "\xE9";
    }
}

// A name that begins and ends with that character.
inline std::string CodePageWord() { return CodePageCharacter() + "Zk" + CodePageCharacter(); }

}  // namespace instdll::testing
