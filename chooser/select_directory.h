#pragma once

#include "chooser/chooser_language.h"
#include "chooser/chooser_module.h"

namespace instdll {

// Proposes the directory in `path` (260 bytes, in and out) and lets the user pick one.
// 1 when the user pressed Select, else 0.
int SelectDirectory(ChooserLanguage language, char* path, const ChooserModule& module);

}  // namespace instdll
