#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <memory>

#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "registry/shared_state_lock.h"

namespace instdll::testing {

// How often each registry operation had been called.
using RegistryCalls = std::array<std::size_t, kRegOperationCount>;

inline RegistryCalls CallsSoFar(const MemoryRegistry& registry) {
    RegistryCalls calls{};
    for (std::size_t op = 0; op < kRegOperationCount; ++op) {
        calls[op] = registry.CallCount(static_cast<RegOperation>(op));
    }
    return calls;
}

inline std::size_t CallsOf(const RegistryCalls& calls, RegOperation operation) {
    return calls[static_cast<std::size_t>(operation)];
}

// A lock that notes the registry's calls when it was taken and when it was given back, so that
// a test can tell which calls ran while it was held. It can be made to run out of time instead
// of granting the lock.
class ObservedLock final : public SharedStateLock {
public:
    ObservedLock(const MemoryRegistry& registry, bool granting)
        : grants(granting), registry_(registry) {}

    LockAttempt Acquire() override {
        ++acquisitions;
        atAcquire = CallsSoFar(registry_);
        if (!grants) return {nullptr, "refused by the test"};
        return {std::make_unique<Hold>(*this), "granted by the test"};
    }

    // Whether the next tries get the lock or run out of time.
    bool grants;
    int acquisitions = 0;
    int releases = 0;
    RegistryCalls atAcquire{};
    RegistryCalls atRelease{};

private:
    class Hold final : public SharedStateHold {
    public:
        explicit Hold(ObservedLock& lock) : lock_(lock) {}
        ~Hold() override {
            ++lock_.releases;
            lock_.atRelease = CallsSoFar(lock_.registry_);
        }

    private:
        ObservedLock& lock_;
    };

    const MemoryRegistry& registry_;
};

// The lock was asked for once and, when it was granted, held across every call of `operations`
// made between `before` and `after`.
inline void ExpectHeldOnceAcross(const ObservedLock& lock, bool granted,
                                 const RegistryCalls& before, const RegistryCalls& after,
                                 std::initializer_list<RegOperation> operations) {
    EXPECT_EQ(lock.acquisitions, 1);
    EXPECT_EQ(lock.releases, granted ? 1 : 0);
    if (!granted) return;
    for (RegOperation operation : operations) {
        EXPECT_EQ(CallsOf(lock.atAcquire, operation), CallsOf(before, operation));
        EXPECT_EQ(CallsOf(lock.atRelease, operation), CallsOf(after, operation));
    }
}

}  // namespace instdll::testing
