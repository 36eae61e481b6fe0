#pragma once

#include <cstdint>
#include <string>

#include "registry/registry_access.h"

namespace instdll {

// Adds `title` under `valueName` to the current user's title list, numbered when taken: the
// first of title, "title #1", "title #2", ... that no value of the list holds as its data.
// 0 when stored or when `valueName` exists already; the RegCreateKeyExA error when the list
// cannot be opened; ERROR_INVALID_PARAMETER, with nothing stored, when the title or the numbered
// form it needs does not fit 255 bytes. Null arguments count as empty text.
long AddToTitles(RegistryAccess& registry, const char* valueName, const char* title);

}  // namespace instdll
