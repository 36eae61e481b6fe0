#pragma once

#include <string>

#include "registry/registry_paths.h"
#include "text/ansi_text.h"

namespace instdll {

// Whether a subkey belongs to the family: its name starts with the prefix in any letter case,
// as the code page compares letters.
inline bool HasFamilyPrefix(const std::string& name, const AnsiCodePage& codePage) {
    constexpr std::size_t prefixLength = sizeof kFamilyPrefix - 1;
    return name.size() >= prefixLength &&
           codePage.EqualNoCase(name.substr(0, prefixLength), kFamilyPrefix);
}

}  // namespace instdll
