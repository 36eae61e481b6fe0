#include "log/logging_lock.h"

namespace instdll {

LockAttempt LoggingLock::Acquire() {
    LockAttempt attempt = lock_.Acquire();
    if (log_ == nullptr) return attempt;
    LogRecord record(log_);
    if (attempt.hold) {
        record.Text("shared state locked in ").Text(attempt.account);
    } else {
        record.Text("shared state not locked: ")
            .Text(attempt.account)
            .Text("; ")
            .Text(withoutLock_);
    }
    return attempt;
}

}  // namespace instdll
