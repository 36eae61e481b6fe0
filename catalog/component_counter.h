#pragma once

#include <cstdint>

#include "registry/registry_access.h"

namespace instdll {

// Lowers the family's count of installed components by `removed`: read just before it is
// lowered and written once, with the type it was stored with. Nothing is written when there is
// nothing to lower, when it cannot be read (its type is unknown then) or when it would go below
// zero.
void LowerComponentCounter(RegistryAccess& registry, std::uint32_t removed);

}  // namespace instdll
