#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "chooser/wide_text.h"

namespace instdll {

// A string of the module's string table as stored, in UTF-16; "" when it is missing.
WideText LoadWideString(HINSTANCE module, int id);
// The same string in the ANSI code page; characters the code page lacks become '?'.
std::string LoadAnsiString(HINSTANCE module, int id);

// The control texts of a dialog template of the module, in UTF-16: the texts the platform
// loses when it creates an ANSI dialog outside the template's script.
std::vector<std::pair<int, WideText>> TemplateControlTexts(HINSTANCE module, int templateId);

}  // namespace instdll
