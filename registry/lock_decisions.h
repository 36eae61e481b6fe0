#pragma once

#include <cstdint>

#include "registry/registry_access.h"

namespace instdll {

// What the Win32 calls of one try to take the lock answered, and what the lock makes of it. The
// decisions are kept apart from the calls so that every answer can be tried without Windows.

// What a wait answers.
inline constexpr std::uint32_t kLockWaitObject = 0x00000000;
inline constexpr std::uint32_t kLockWaitAbandoned = 0x00000080;
inline constexpr std::uint32_t kLockWaitTimeout = 0x00000102;

// Where the lock's name lives.
enum class LockPlace {
    // A namespace whose boundary only administrators pass: no one else can make the name.
    PrivateNamespace,
    // `Global\`: where Windows offers no private namespace (XP) or does not implement it.
    GlobalName,
    // The private namespace refused this process: it cannot hold the lock at all.
    Refused,
};

// `found`: the system has the private namespace functions; `opened`: the namespace was created
// or opened; `error`: the last error when it was not.
LockPlace JudgeNamespace(bool found, bool opened, std::uint32_t error);

// What creating the named mutex answered.
enum class NameAnswer {
    Created,    // a new mutex, ours
    Existing,   // an existing mutex, opened
    Denied,     // an existing object this process may not open
    OtherKind,  // the name is taken by an object that is no mutex
    Failed,     // anything else
};

NameAnswer AnswerOfCreate(bool gotHandle, std::uint32_t error);

enum class NameVerdict {
    Usable,
    // Made by someone no setup trusts, or of another kind: waiting on it would let them decide.
    Squatted,
    // An object this process may not open: squatted with a refusing descriptor, or this process
    // is not one that may hold the lock.
    Refused,
    Unavailable,
};

// `ownerTrusted` counts only for an existing mutex: one made by an administrator, SYSTEM or
// this very user.
NameVerdict JudgeName(NameAnswer answer, bool ownerTrusted);

enum class WaitVerdict { Held, Abandoned, Busy, Failed };

WaitVerdict JudgeWait(std::uint32_t waited);

// Why a try did not get the lock, worded for the log; each tells a squatter from a busy peer.
const char* WhyNotLocked(LockPlace place);
const char* WhyNotLocked(NameVerdict verdict);
const char* WhyNotLocked(WaitVerdict verdict);

}  // namespace instdll
