#pragma once

#include <windows.h>

namespace instdll::testing {

// How long a test waits for a dialog it opens to show and to go, however loaded the machine.
// Past it the run ends as failed at once: a dialog that came later would hold its modal loop on
// screen until ctest's or the guest's own timeout.
inline constexpr DWORD kDialogDeadlineMs = 180000;

// Says why on the error stream and ends this process with a failure.
[[noreturn]] void EndTheRunAsFailed(const char* why);

}  // namespace instdll::testing
