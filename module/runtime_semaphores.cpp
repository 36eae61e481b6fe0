#include "module/runtime_semaphores.h"

#include <windows.h>

#include <array>
#include <cstddef>

// The runtime of the win32 thread model makes each of its locks from a semaphore and has no call
// that closes one. The 32-bit unwinder makes the lock of its list of unwind tables as the DLL
// loads, so a setup program that loaded and unloaded the DLL many times lost one handle per
// load (docs/runtime.md). The runtime reaches CreateSemaphoreW only through this module's import
// slot; this file defines that slot in place of the import library's, records what it hands out
// and closes it at unload. The DLL's own code makes no semaphore.

namespace {

std::array<HANDLE, 8> recorded{};
std::size_t recordedCount = 0;

HANDLE WINAPI CreateRecordedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initialCount,
                                      LONG maximumCount, LPCWSTR name) {
    // The runtime's locks are unnamed; a named one would need the wide function itself.
    if (name != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const HANDLE semaphore = CreateSemaphoreA(attributes, initialCount, maximumCount, nullptr);
    if (semaphore != nullptr && recordedCount < recorded.size()) {
        recorded[recordedCount++] = semaphore;
    }
    return semaphore;
}

}  // namespace

#if defined(__i386__)
#define INSTDLL_CREATE_SEMAPHORE_SLOT "__imp__CreateSemaphoreW@16"
#else
#define INSTDLL_CREATE_SEMAPHORE_SLOT "__imp_CreateSemaphoreW"
#endif

extern "C" decltype(&CreateSemaphoreW) const instdllCreateSemaphoreSlot __asm__(
    INSTDLL_CREATE_SEMAPHORE_SLOT) = &CreateRecordedSemaphore;

namespace instdll {

// The runtime still takes and releases these locks after DllMain, as its destructors run: it
// waits on or signals the semaphore only when a second thread holds the lock, and no other thread
// is inside the DLL while it unloads.
void CloseRuntimeSemaphores() {
    for (std::size_t i = 0; i < recordedCount; ++i) CloseHandle(recorded[i]);
    recordedCount = 0;
}

}  // namespace instdll
