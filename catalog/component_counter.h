#pragma once

#include <cstdint>
#include <optional>

#include "registry/registry_access.h"

namespace instdll {

// Lowers the family's count of installed components by `removed`: read just before it is
// lowered and written once, with the type it was stored with. Nothing is written when there is
// nothing to lower, when it cannot be read (its type is unknown then) or when it would go below
// zero.
void LowerComponentCounter(RegistryAccess& registry, std::uint32_t removed);

struct CounterChange {
    std::uint32_t before = 0;
    std::uint32_t after = 0;
};

// Raises the count stored at HKLM\`keyPath` by `added`, the way LowerComponentCounter lowers
// it: nothing is written when it cannot be read or would pass the largest count.
std::optional<CounterChange> RaiseComponentCounter(RegistryAccess& registry, const char* keyPath,
                                                   std::uint32_t added);

}  // namespace instdll
