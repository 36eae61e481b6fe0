#pragma once

namespace instdll {

enum class ChooserLanguage : int { Russian = 0, English = 1, Ukrainian = 2 };

// Proposes the directory in `path` (260 bytes, in and out) and lets the user pick one.
// 1 when the user pressed Select, else 0.
int SelectDirectory(ChooserLanguage language, char* path);

}  // namespace instdll
