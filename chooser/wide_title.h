#pragma once

#include <windows.h>

namespace instdll {

// Gives an ANSI dialog a title in any script. Text set or read through an ANSI window passes
// the ANSI code page, where Cyrillic outside code page 1251 turns into '?'; the title goes in
// past that conversion, and the window answers text queries (the caption painter's among them)
// in UTF-16 until it is destroyed.
void SetWideTitle(HWND dialog, const wchar_t* title);

}  // namespace instdll
