#pragma once

#include "registry/registry_access.h"

namespace instdll {

// Adds `title` under `valueName` to the current user's title list, numbered when taken.
long AddToTitles(RegistryAccess& registry, const char* valueName, const char* title);

}  // namespace instdll
