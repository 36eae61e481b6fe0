#pragma once

#include <windows.h>

#include <string>

namespace instdll::testing {

// Runs `command` to its end with its output in `output`; its exit code.
DWORD RunToEnd(std::string command, std::string* output = nullptr);

// Imports `regFile` as a double-click on it would: with the regedit of the Windows directory,
// which on 64-bit Windows is the 64-bit one, also for a 32-bit program; the file names each
// key where the machine stores it.
DWORD ImportWithRegedit(const std::string& regFile);

}  // namespace instdll::testing
