#pragma once

#include "registry/registry_access.h"

namespace instdll {

struct RootNames {
    RegHandle root;
    const char* fullName;
    const char* shortName;
};

// The roots the library opens keys under, as .reg files name them.
inline constexpr RootNames kRootNames[] = {
    {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {kHkeyCurrentUser, "HKEY_CURRENT_USER", "HKCU"},
};

// The root's full name; "" for any other handle.
inline const char* RootName(RegHandle root) {
    for (const RootNames& names : kRootNames) {
        if (names.root == root) return names.fullName;
    }
    return "";
}

}  // namespace instdll
