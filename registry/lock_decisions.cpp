#include "registry/lock_decisions.h"

namespace instdll {

// Only where the functions are missing or not implemented is the global name the lock's home:
// a namespace that refuses this process is no reason to lock a name it might still open.
LockPlace JudgeNamespace(bool found, bool opened, std::uint32_t error) {
    if (!found) return LockPlace::GlobalName;
    if (opened) return LockPlace::PrivateNamespace;
    return static_cast<long>(error) == kErrorCallNotImplemented ? LockPlace::GlobalName
                                                                : LockPlace::Refused;
}

NameAnswer AnswerOfCreate(bool gotHandle, std::uint32_t error) {
    if (gotHandle) {
        return static_cast<long>(error) == kErrorAlreadyExists ? NameAnswer::Existing
                                                               : NameAnswer::Created;
    }
    switch (static_cast<long>(error)) {
        case kErrorAccessDenied:
            return NameAnswer::Denied;
        case kErrorInvalidHandle:
            return NameAnswer::OtherKind;
        default:
            return NameAnswer::Failed;
    }
}

NameVerdict JudgeName(NameAnswer answer, bool ownerTrusted) {
    switch (answer) {
        case NameAnswer::Created:
            return NameVerdict::Usable;
        case NameAnswer::Existing:
            return ownerTrusted ? NameVerdict::Usable : NameVerdict::Squatted;
        case NameAnswer::Denied:
            return NameVerdict::Refused;
        case NameAnswer::OtherKind:
            return NameVerdict::Squatted;
        case NameAnswer::Failed:
            break;
    }
    return NameVerdict::Unavailable;
}

// An abandoned mutex belongs to the waiter now; what its dead holder left half done stays so
// however long the call waits, so the call goes on holding it.
WaitVerdict JudgeWait(std::uint32_t waited) {
    switch (waited) {
        case kLockWaitObject:
            return WaitVerdict::Held;
        case kLockWaitAbandoned:
            return WaitVerdict::Abandoned;
        case kLockWaitTimeout:
            return WaitVerdict::Busy;
        default:
            return WaitVerdict::Failed;
    }
}

const char* WhyNotLocked(LockPlace place) {
    return place == LockPlace::Refused
               ? "the family's private namespace refused this process, which is not elevated"
               : "";
}

const char* WhyNotLocked(NameVerdict verdict) {
    switch (verdict) {
        case NameVerdict::Squatted:
            return "its name is squatted: taken by an object no setup of the family made";
        case NameVerdict::Refused:
            return "its name is taken by an object this process may not open: squatted, or "
                   "this setup is not elevated";
        case NameVerdict::Unavailable:
            return "no mutex could be created or opened";
        case NameVerdict::Usable:
            break;
    }
    return "";
}

const char* WhyNotLocked(WaitVerdict verdict) {
    switch (verdict) {
        case WaitVerdict::Busy:
            return "another setup held it past the wait";
        case WaitVerdict::Failed:
            return "the wait for it failed";
        case WaitVerdict::Held:
        case WaitVerdict::Abandoned:
            break;
    }
    return "";
}

}  // namespace instdll
