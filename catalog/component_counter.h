#pragma once

#include <cstdint>
#include <optional>

#include "catalog/registry_values.h"
#include "registry/registry_key.h"

namespace instdll {

// The family's count of installed components, read when constructed and lowered as components
// are pruned. It is written back with the type it was stored with, and only when it could be
// read (its type is unknown otherwise) and has not gone below zero.
class ComponentCounter {
public:
    explicit ComponentCounter(RegistryAccess& registry);

    void Lower() { --count_; }
    void WriteBack() const;

private:
    RegistryKey key_;
    std::optional<NumberValue> stored_;
    // Wider than the stored 32 bits so lowering the smallest value cannot overflow.
    std::int64_t count_ = 0;
};

}  // namespace instdll
