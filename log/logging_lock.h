#pragma once

#include "log/call_log.h"
#include "registry/shared_state_lock.h"

namespace instdll {

// Passes each try to take the lock to the lock underneath and, while a call's log is attached,
// writes down where the lock was held, or why it was not had and what the call does without it.
class LoggingLock final : public SharedStateLock {
public:
    explicit LoggingLock(SharedStateLock& lock) : lock_(lock) {}

    // Null detaches. `withoutLock` says what the call does when the lock cannot be had.
    void LogTo(CallLog* log, const char* withoutLock) {
        log_ = log;
        withoutLock_ = withoutLock;
    }
    LockAttempt Acquire() override;

private:
    SharedStateLock& lock_;
    CallLog* log_ = nullptr;
    const char* withoutLock_ = "";
};

// Attaches a call's log to the lock for as long as it lives.
class LockLogScope {
public:
    LockLogScope(LoggingLock& lock, CallLog* log, const char* withoutLock) : lock_(lock) {
        lock_.LogTo(log, withoutLock);
    }
    LockLogScope(const LockLogScope&) = delete;
    LockLogScope& operator=(const LockLogScope&) = delete;
    ~LockLogScope() { lock_.LogTo(nullptr, ""); }

private:
    LoggingLock& lock_;
};

}  // namespace instdll
