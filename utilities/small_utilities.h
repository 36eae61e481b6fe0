#pragma once

#include "registry/registry_access.h"

namespace instdll {

// Deletes one value of HKEY_LOCAL_MACHINE\subKey, creating the key when it is missing.
void DeleteMachineValue(RegistryAccess& registry, const char* subKey, const char* valueName);

// True when the service control manager grants read, write and execute access.
bool CallerIsAdministrator();

// Shows the message box, then stamps the two parameters into the target's resources.
void StampUserParams(const char* targetFile, const char* first, const char* second);

}  // namespace instdll
