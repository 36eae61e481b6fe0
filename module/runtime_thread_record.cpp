#include "module/runtime_thread_record.h"

// MinGW's thread library keeps a record (a duplicated thread handle and an event) for every
// thread that was not started through it, and frees it only in its thread-detach callback. The
// 32-bit unwinder uses that library once when the DLL loads, from the loading thread; a setup
// program's thread outlives many loads and unloads, so each load left two handles behind.
// Running the module's own thread-detach callbacks for this thread at unload frees the record.
// Other toolchains keep no such record.
#if defined(__MINGW32__)
extern "C" const IMAGE_TLS_DIRECTORY _tls_used;
#endif

namespace instdll {

void ReleaseRuntimeThreadRecord([[maybe_unused]] HINSTANCE module) {
#if defined(__MINGW32__)
    auto callback = reinterpret_cast<const PIMAGE_TLS_CALLBACK*>(_tls_used.AddressOfCallBacks);
    for (; callback != nullptr && *callback != nullptr; ++callback) {
        (*callback)(module, DLL_THREAD_DETACH, nullptr);
    }
#endif
}

}  // namespace instdll
