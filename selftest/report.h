#pragma once

#include <string>
#include <vector>

#include "selftest/checks.h"
#include "selftest/machine.h"

namespace instdll::selftest {

enum class Status { Passed, Failed, Skipped };

struct CheckResult {
    std::string name;
    std::string meaning;
    Status status = Status::Skipped;
    std::string saw;  // in the ANSI code page
};

// The summary a release manager reads: the machine, then one block per check.
std::string SummaryText(const MachineFacts& facts, const std::vector<CheckResult>& results);

// The same as JUnit XML in UTF-8, one test case per check, the machine as properties.
std::string JUnitXml(const MachineFacts& facts, const std::vector<CheckResult>& results);

}  // namespace instdll::selftest
