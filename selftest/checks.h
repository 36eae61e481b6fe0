#pragma once

#include <string>
#include <vector>

namespace instdll::selftest {

// What a check saw, in words a release manager can put in a report.
struct Outcome {
    bool passed = false;
    std::string saw;
};

// Where a check can run: the elevated ones write under HKEY_LOCAL_MACHINE, as an elevated setup
// does; the standard-user one proves that a setup without elevation writes nothing there.
enum class RunsWhen { Always, Elevated, NotElevated };

struct Context {
    std::string dllPath;       // the DLL under test, loaded afresh by each check
    std::string workDir;       // a folder of the run's own, empty at each check's start
    std::string signedTarget;  // a signed executable that the stamping check copies
    bool elevated = false;
};

// Each check leaves behind nothing it made, whether it passes or not; the family's keys it
// writes are the only exception, and the caller removes those whole.
struct Check {
    const char* name;
    const char* meaning;
    RunsWhen runsWhen;
    Outcome (*run)(const Context&);
};

// Every check, in the order they run: the self-test and the Wine harness run the same list.
const std::vector<Check>& Checks();

bool Applies(const Check& check, bool elevated);

}  // namespace instdll::selftest
