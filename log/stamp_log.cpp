#include "log/stamp_log.h"

namespace instdll {
namespace {

const char* StepName(StampStep step) {
    switch (step) {
        case StampStep::Open:
            return "open the target";
        case StampStep::Copy:
            return "copy its sections";
        case StampStep::Stamp:
            return "stamp the copy";
        case StampStep::Verify:
            return "verify the stamped resources";
        case StampStep::Overlay:
            return "append the overlay, drop the signature and check the copy";
        case StampStep::Metadata:
            return "give the copy the target's metadata";
        case StampStep::Replace:
            return "replace the target with the copy";
    }
    return "";
}

}  // namespace

void StampLog::StepEnded(StampStep step, bool done, unsigned long error) {
    LogRecord record(log_);
    record.Text(StepName(step));
    if (done) {
        record.Text(": done");
    } else {
        record.Text(": failed, error ").Number(static_cast<long long>(error));
    }
}

}  // namespace instdll
