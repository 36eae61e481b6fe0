#pragma once

#include <cstdint>
#include <memory>

#include "registry/shared_state_lock.h"

namespace instdll {

// The lock's name, shared by every setup of the family on the machine: first in the namespace
// of all sessions, then, where creating a global object is refused, in the caller's session.
inline constexpr char kSharedStateMutexName[] = "Zk.InstDLL.SharedState";
inline constexpr char kGlobalNamespace[] = "Global\\";
inline constexpr char kLocalNamespace[] = "Local\\";
// Long enough for any peer's read-modify-write, short enough not to hang a setup behind a
// holder that is stuck.
inline constexpr std::uint32_t kSharedStateWaitMs = 30000;

// The shared state lock as a named kernel mutex. A holder that dies leaves the mutex abandoned,
// and the next waiter takes it over. The mutex is opened for each hold and closed after it.
class NamedMutexLock final : public SharedStateLock {
public:
    bool Acquire() override;
    void Release() override;

private:
    struct HandleCloser {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, HandleCloser> mutex_;
};

}  // namespace instdll
