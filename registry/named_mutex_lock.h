#pragma once

#include <cstdint>

#include "registry/shared_state_lock.h"

namespace instdll {

// The lock's name, shared by every setup of the family on the machine: in the namespace of all
// sessions, or, only where that namespace cannot be used at all, in the caller's session.
inline constexpr char kSharedStateMutexName[] = "Zk.InstDLL.SharedState";
inline constexpr char kGlobalNamespace[] = "Global\\";
inline constexpr char kLocalNamespace[] = "Local\\";
// Long enough for any peer's read-modify-write, short enough not to hang a setup behind a
// holder that is stuck.
inline constexpr std::uint32_t kSharedStateWaitMs = 30000;
// What every process on the machine may do with the mutex, whichever user made it.
inline constexpr std::uint32_t kSharedStateMutexRights = 0x00100000L /* SYNCHRONIZE */ |
                                                         0x0001 /* MUTEX_MODIFY_STATE */ |
                                                         0x00020000L /* READ_CONTROL */;

// The shared state lock as a named kernel mutex, opened for each hold and closed after it. A
// holder that dies leaves the mutex abandoned, and the next waiter takes it over.
class NamedMutexLock final : public SharedStateLock {
public:
    LockAttempt Acquire() override;
};

}  // namespace instdll
