#pragma once

namespace instdll {

// The upper-case form of a letter of the scripts the Windows ANSI code pages hold (Latin with
// its extensions for Central Europe, the Baltics, Turkey and Vietnam, Greek, Cyrillic, the
// full-width Latin of the East Asian code pages); any other character unchanged. The host's
// stand-in for the case folding of lstrcmpiA, which compares through Unicode.
char32_t UpperCase(char32_t c);

}  // namespace instdll
