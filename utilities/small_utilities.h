#pragma once

#include "registry/registry_access.h"

namespace instdll {

// Deletes one value of HKEY_LOCAL_MACHINE\subKey, creating the key when it is missing.
void DeleteMachineValue(RegistryAccess& registry, const char* subKey, const char* valueName);

// True when the service control manager grants read, write and execute access.
bool CallerIsAdministrator();

}  // namespace instdll
