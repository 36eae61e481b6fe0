#pragma once

#include <string>
#include <vector>

#include "registry/registry_access.h"

namespace instdll::testing {

// Scratch key under HKEY_CURRENT_USER that the script creates and removes again.
inline constexpr char kScriptRoot[] = "Software\\InstDLLConformance";

// Runs one fixed sequence of registry calls on `registry` and returns a line per call with its
// result and outputs. Run on the real and the in-memory registry, the transcripts must match.
// Value enumeration is reported sorted by name, as Wine orders values by name.
std::vector<std::string> RunRegistryScript(RegistryAccess& registry);

}  // namespace instdll::testing
