#pragma once

#include <optional>
#include <string>

#include "catalog/component_counter.h"
#include "inspect/registry_import.h"
#include "registry/registry_view.h"

namespace instdll::inspect {

// Whether this machine runs 64-bit Windows, where the 32-bit DLL's keys are redirected.
bool LiveMachineIs64Bit();

// Copies what the DLL in `view` reads from the running machine's registry, opened for reading
// only in that DLL's view whichever build the tool is, and names each key where the machine
// stores it, as an export of the machine would.
void CopyLiveRegistry(RegistryView view, RegistryImport& import);

// Raises the component counter at HKEY_LOCAL_MACHINE\`keyPath`, the path the machine stores it
// at (WOW6432Node named where it is), by `added` under the lock the library's setups share it
// by; nothing when it cannot be read or written, or the lock is not had.
std::optional<CounterChange> RaiseLiveCounter(const std::string& keyPath, std::uint32_t added);

}  // namespace instdll::inspect
