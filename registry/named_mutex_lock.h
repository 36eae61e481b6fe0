#pragma once

#include <cstddef>
#include <cstdint>

#include "registry/shared_state_lock.h"

namespace instdll {

// Whose shared state a lock guards, and so who may hold it.
enum class LockScope {
    // The component counter and the family's keys under HKEY_LOCAL_MACHINE: only what may write
    // them, administrators and SYSTEM, may hold the lock.
    Machine,
    // The user's own title list: each user has a lock of their own, which no other user can
    // hold to delay them.
    User,
};

// The machine lock's home where Windows has private namespaces: a namespace of this name whose
// boundary is the Administrators group, with the mutex in it.
inline constexpr wchar_t kSharedStateNamespace[] = L"Zk.InstDLL";
inline constexpr char kSharedStatePrivateName[] = "Zk.InstDLL\\SharedState";
// Where there are none: the machine lock's name, and the user lock's before the user's SID, in
// the namespace of all sessions.
inline constexpr char kGlobalNamespace[] = "Global\\";
inline constexpr char kSharedStateMutexName[] = "Zk.InstDLL.SharedState";
inline constexpr char kUserStateMutexName[] = "Zk.InstDLL.Titles.";
// Long enough for any peer's read-modify-write, short enough not to hang a setup behind a
// holder that is stuck.
inline constexpr std::uint32_t kSharedStateWaitMs = 30000;
// What the holders may do with the mutex: wait on it, release it and read its owner.
inline constexpr std::uint32_t kSharedStateMutexRights = 0x00100000L /* SYNCHRONIZE */ |
                                                         0x0001 /* MUTEX_MODIFY_STATE */ |
                                                         0x00020000L /* READ_CONTROL */;

// "Global\Zk.InstDLL.Titles." and the text of the longest SID, with room to spare.
inline constexpr std::size_t kLockNameCapacity = 256;
using LockName = char[kLockNameCapacity];

// The lock's name in `Global\`, where there is no private namespace; false when the user's SID
// cannot be read.
bool GlobalLockName(LockScope scope, LockName& name);

// The shared state lock as a named kernel mutex, opened for each hold and closed after it. A
// holder that dies leaves the mutex abandoned, and the next waiter takes it over. Where the
// name cannot be had as designed, the try fails: never a name of another namespace that other
// setups would not share.
class NamedMutexLock final : public SharedStateLock {
public:
    explicit NamedMutexLock(LockScope scope) : scope_(scope) {}
    LockAttempt Acquire() override;

private:
    LockScope scope_;
};

}  // namespace instdll
