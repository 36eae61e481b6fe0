#include "catalog/component_counter.h"

#include "registry/registry_paths.h"

namespace instdll {

ComponentCounter::ComponentCounter(RegistryAccess& registry)
    : key_(OpenKey(registry, kHkeyLocalMachine, kComponentCounterPath)) {
    if (!key_.is_open()) return;
    stored_ = ReadNumberValue(key_, kComponentCounterValue);
    if (stored_) count_ = static_cast<std::int32_t>(stored_->bits);
}

void ComponentCounter::WriteBack() const {
    if (!stored_ || count_ < 0) return;
    WriteNumberValue(key_, kComponentCounterValue,
                     NumberValue{static_cast<std::uint32_t>(count_), stored_->type});
}

}  // namespace instdll
