#pragma once

#include "chooser/chooser_language.h"
#include "chooser/chooser_module.h"

namespace instdll {

// What a selection did to the proposed directory, for a caller that reports it.
struct ProposedDirectoryFate {
    bool created = false;
    bool removed = false;
};

// Proposes the directory in `path` (260 bytes, in and out) and lets the user pick one.
// 1 when the user pressed Select, else 0. `fate`, if given, receives what became of the
// proposed directory.
int SelectDirectory(ChooserLanguage language, char* path, const ChooserModule& module,
                    ProposedDirectoryFate* fate = nullptr);

}  // namespace instdll
