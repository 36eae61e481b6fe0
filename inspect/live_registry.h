#pragma once

#include "inspect/registry_import.h"

namespace instdll::inspect {

// Copies what the library reads from the running machine's registry, opened for reading only.
void CopyLiveRegistry(RegistryImport& import);

}  // namespace instdll::inspect
