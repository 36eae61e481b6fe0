#pragma once

namespace instdll {

// Keeps the setups running on one machine out of each other's way while one of them reads,
// decides on and writes back registry state that all of them share: the component counter and
// the user's title list. It is held across one such read-modify-write, never across a whole
// call.
class SharedStateLock {
public:
    // True when the caller now holds the lock. False when it could not be had in time: the
    // caller then goes on without it rather than hang a setup.
    virtual bool Acquire() = 0;
    virtual void Release() = 0;

protected:
    SharedStateLock() = default;
    SharedStateLock(const SharedStateLock&) = default;
    SharedStateLock& operator=(const SharedStateLock&) = default;
    ~SharedStateLock() = default;
};

// Holds the lock, when it can be had, for as long as it lives.
class SharedStateGuard {
public:
    explicit SharedStateGuard(SharedStateLock& lock) : lock_(lock), held_(lock.Acquire()) {}
    SharedStateGuard(const SharedStateGuard&) = delete;
    SharedStateGuard& operator=(const SharedStateGuard&) = delete;
    ~SharedStateGuard() {
        if (held_) lock_.Release();
    }

private:
    SharedStateLock& lock_;
    const bool held_;
};

// For a registry that no other process sees, such as the in-memory one: nothing to keep out.
class UnsharedState final : public SharedStateLock {
public:
    bool Acquire() override { return true; }
    void Release() override {}
};

}  // namespace instdll
