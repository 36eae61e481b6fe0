#include "log/logging_lock.h"

namespace instdll {

LockAttempt LoggingLock::Acquire() {
    LockAttempt attempt = lock_.Acquire();
    if (log_ == nullptr) return attempt;
    if (attempt.hold) {
        LogRecord(log_).Text("shared state locked in ").Text(attempt.account);
        if (attempt.abandoned != nullptr) {
            LogRecord(log_).Text("shared state lock abandoned: ").Text(attempt.abandoned);
        }
        return attempt;
    }
    LogRecord record(log_);
    record.Text("shared state not locked: ").Text(attempt.account);
    if (attempt.error != 0) record.Text(" (error ").Number(attempt.error).Text(")");
    record.Text("; ").Text(withoutLock_);
    return attempt;
}

}  // namespace instdll
