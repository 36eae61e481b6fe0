#pragma once

#include <optional>
#include <string>

#include "catalog/component_counter.h"
#include "inspect/registry_import.h"

namespace instdll::inspect {

// Copies what the library reads from the running machine's registry, opened for reading only.
void CopyLiveRegistry(RegistryImport& import);

// Raises the component counter at HKEY_LOCAL_MACHINE\`keyPath` by `added` under the lock the
// library's setups share it by; nothing when it cannot be read or written.
std::optional<CounterChange> RaiseLiveCounter(const std::string& keyPath, std::uint32_t added);

}  // namespace instdll::inspect
