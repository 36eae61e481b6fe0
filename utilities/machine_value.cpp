#include "registry/registry_key.h"
#include "text/ansi_text.h"
#include "utilities/small_utilities.h"

namespace instdll {

void DeleteMachineValue(RegistryAccess& registry, const char* subKey, const char* valueName) {
    RegHandle handle = 0;
    if (registry.RegCreateKeyA(kHkeyLocalMachine, ArgumentText(subKey).c_str(), &handle) !=
        kErrorSuccess) {
        return;
    }
    // For an empty path RegCreateKeyA hands back the root itself, which is not ours to close.
    RegistryKey owner(registry);
    if (handle != kHkeyLocalMachine) *owner.put() = handle;
    registry.RegDeleteValueA(handle, ArgumentText(valueName).c_str());
}

}  // namespace instdll
