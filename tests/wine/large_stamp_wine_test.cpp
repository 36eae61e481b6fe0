// Runs instdll_large_stamp.exe, a program of its own so that its peak working set is the stamp's
// alone, and takes its exit code: 0 when the 1.3 GB target was stamped within 64 MB.
#include <windows.h>

#include <string>

#include "gtest/gtest.h"

namespace instdll::testing {
namespace {

constexpr DWORD kPatienceMs = 15 * 60 * 1000;

TEST(LargeStamp, StampsAGigabyteOverlayWithinSixtyFourMegabytes) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string program(self);
    program = program.substr(0, program.find_last_of('\\') + 1) + "instdll_large_stamp.exe";
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process))
        << program << ": " << GetLastError();
    CloseHandle(process.hThread);
    const DWORD waited = WaitForSingleObject(process.hProcess, kPatienceMs);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "still running after " << kPatienceMs << " ms";
    EXPECT_EQ(exitCode, 0u) << "see the line it printed";
}

}  // namespace
}  // namespace instdll::testing
