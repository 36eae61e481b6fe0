#pragma once

#include "log/call_log.h"
#include "stamping/stamp_report.h"

namespace instdll {

// Writes a record for each step of a stamp: done, or failed with its Windows error code.
class StampLog final : public StampReport {
public:
    explicit StampLog(CallLog* log) : log_(log) {}

    void StepEnded(StampStep step, bool done, unsigned long error) override;

private:
    CallLog* log_;
};

}  // namespace instdll
