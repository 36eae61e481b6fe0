#pragma once

#include <string>

#include "text/ansi_text.h"

namespace instdll {

struct PathParts {
    std::string directory;  // drive and directories, through the last separator
    std::string file;       // name and extension together
};

// Cuts a path after its last backslash or forward slash. A leading "X:" stays in the directory
// part even without a separator; a double-byte character never counts as a separator, so a
// trail byte of 0x5C in code page 932 does not split the name.
PathParts SplitPath(const std::string& path, const AnsiCodePage& codePage);

}  // namespace instdll
