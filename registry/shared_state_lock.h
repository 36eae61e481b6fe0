#pragma once

#include <cstdint>
#include <memory>

namespace instdll {

// The lock while it is held: destroying it gives the lock back.
class SharedStateHold {
public:
    SharedStateHold() = default;
    SharedStateHold(const SharedStateHold&) = delete;
    SharedStateHold& operator=(const SharedStateHold&) = delete;
    virtual ~SharedStateHold() = default;
};

// One try to take the lock.
struct LockAttempt {
    // Null when the lock could not be had in time.
    std::unique_ptr<SharedStateHold> hold;
    // For the log: where the lock was held, or why it was not had.
    const char* account = "";
    // The Win32 error behind a failure; 0 when there is none to tell.
    std::uint32_t error = 0;
    // Set when the last holder died holding the lock: what it may have left half done.
    const char* abandoned = nullptr;
};

// Keeps the setups running on one machine out of each other's way while one of them reads,
// decides on and writes back registry state that all of them share: the component counter and
// the user's title list. It is held across one such read-modify-write, never across a whole
// call. The lock itself keeps no state of a hold: each hold owns what it holds.
class SharedStateLock {
public:
    // Waits a bounded time, so that a stuck holder cannot hang a setup.
    virtual LockAttempt Acquire() = 0;

protected:
    SharedStateLock() = default;
    SharedStateLock(const SharedStateLock&) = default;
    SharedStateLock& operator=(const SharedStateLock&) = default;
    ~SharedStateLock() = default;
};

// Holds the lock, when it can be had, for as long as it lives.
class SharedStateGuard {
public:
    explicit SharedStateGuard(SharedStateLock& lock) : attempt_(lock.Acquire()) {}
    SharedStateGuard(const SharedStateGuard&) = delete;
    SharedStateGuard& operator=(const SharedStateGuard&) = delete;

    bool held() const { return attempt_.hold != nullptr; }

private:
    LockAttempt attempt_;
};

// For a registry that no other process sees, such as the in-memory one: nothing to keep out.
class UnsharedState final : public SharedStateLock {
public:
    LockAttempt Acquire() override {
        return {std::make_unique<SharedStateHold>(), "no other process shares this registry"};
    }
};

}  // namespace instdll
