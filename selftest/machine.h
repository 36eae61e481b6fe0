#pragma once

#include <string>

namespace instdll::selftest {

// What a report needs to place a run: the Windows it ran on and how this process saw it.
struct MachineFacts {
    std::string windows;        // version, build and edition, and Wine's version under Wine
    std::string nativeMachine;  // the processor Windows runs on natively: x86, x64, ARM64
    int bits = 0;               // of this program and the DLL it loads
    bool wow64 = false;         // a 32-bit program on 64-bit Windows
    unsigned codePage = 0;      // the ANSI code page the DLL's strings are in
    bool elevated = false;
    std::string elevation;  // how `elevated` was decided
};

MachineFacts ReadMachineFacts();

// Whether this process holds an administrator's rights: an elevated token where Windows has
// elevation, membership of the Administrators group where it has not.
bool ProcessIsElevated(std::string* how = nullptr);

}  // namespace instdll::selftest
