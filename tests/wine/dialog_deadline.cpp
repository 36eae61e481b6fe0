#include "tests/wine/dialog_deadline.h"

#include <cstdio>

namespace instdll::testing {

void EndTheRunAsFailed(const char* why) {
    std::fprintf(stderr, "%s within %lu s: the run ends as failed\n", why,
                 static_cast<unsigned long>(kDialogDeadlineMs / 1000));
    std::fflush(stderr);
    // Not ExitProcess: the thread in the modal loop may hold locks that its detach would need.
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) Sleep(INFINITE);
}

}  // namespace instdll::testing
