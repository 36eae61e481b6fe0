#include "catalog/component_counter.h"

#include <optional>

#include "catalog/registry_values.h"
#include "registry/registry_paths.h"

namespace instdll {

void LowerComponentCounter(RegistryAccess& registry, std::uint32_t removed) {
    if (removed == 0) return;
    const RegistryKey key = OpenKey(registry, kHkeyLocalMachine, kComponentCounterPath);
    if (!key.is_open()) return;
    const std::optional<NumberValue> stored = ReadNumberValue(key, kComponentCounterValue);
    if (!stored) return;
    // Wider than the stored 32 bits so lowering the smallest value cannot overflow.
    const std::int64_t count = std::int64_t{static_cast<std::int32_t>(stored->bits)} - removed;
    if (count < 0) return;
    WriteNumberValue(key, kComponentCounterValue,
                     NumberValue{static_cast<std::uint32_t>(count), stored->type});
}

std::optional<CounterChange> RaiseComponentCounter(RegistryAccess& registry, const char* keyPath,
                                                   std::uint32_t added) {
    const RegistryKey key = OpenKey(registry, kHkeyLocalMachine, keyPath);
    if (!key.is_open()) return std::nullopt;
    const std::optional<NumberValue> stored = ReadNumberValue(key, kComponentCounterValue);
    if (!stored) return std::nullopt;
    const std::int64_t count = std::int64_t{static_cast<std::int32_t>(stored->bits)} + added;
    if (count > INT32_MAX) return std::nullopt;
    const auto after = static_cast<std::uint32_t>(count);
    if (WriteNumberValue(key, kComponentCounterValue, NumberValue{after, stored->type}) !=
        kErrorSuccess) {
        return std::nullopt;
    }
    return CounterChange{stored->bits, after};
}

}  // namespace instdll
