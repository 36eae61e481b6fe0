// Releases what the statically linked runtime keeps for the thread that unloads the DLL.
#pragma once

#include <windows.h>

namespace instdll {

// Call on DLL_PROCESS_DETACH, from the unloading thread.
void ReleaseRuntimeThreadRecord(HINSTANCE module);

}  // namespace instdll
