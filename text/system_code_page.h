#pragma once

#include "text/ansi_text.h"

namespace instdll {

// The running system's ANSI code page, through GetACP, IsDBCSLeadByte and lstrcmpiA.
const AnsiCodePage& SystemCodePage();

}  // namespace instdll
