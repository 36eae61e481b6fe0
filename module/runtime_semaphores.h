// Closes the locks that the statically linked runtime makes and never closes.
#pragma once

namespace instdll {

// Call on DLL_PROCESS_DETACH when the caller frees the library.
void CloseRuntimeSemaphores();

}  // namespace instdll
