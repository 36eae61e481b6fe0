#pragma once

#include "inspect/registry_import.h"
#include "registry/registry_view.h"

namespace instdll::inspect {

// Whether this machine runs 64-bit Windows, where the 32-bit DLL's keys are redirected.
bool LiveMachineIs64Bit();

// Copies what the DLL in `view` reads from the running machine's registry, opened for reading
// only in that DLL's view whichever build the tool is, and names each key where the machine
// stores it, as an export of the machine would.
void CopyLiveRegistry(RegistryView view, RegistryImport& import);

}  // namespace instdll::inspect
