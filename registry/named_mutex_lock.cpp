#include "registry/named_mutex_lock.h"

#include <windows.h>

#include <sddl.h>

#include <cstring>
#include <new>
#include <utility>

#include "module/system_function.h"
#include "registry/access_control.h"
#include "registry/lock_decisions.h"

namespace instdll {
namespace {

static_assert(kSharedStateMutexRights == (SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL));
static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED &&
              kErrorInvalidHandle == ERROR_INVALID_HANDLE &&
              kErrorAlreadyExists == ERROR_ALREADY_EXISTS &&
              kErrorCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED);
static_assert(kLockWaitObject == WAIT_OBJECT_0 && kLockWaitAbandoned == WAIT_ABANDONED &&
              kLockWaitTimeout == WAIT_TIMEOUT);

constexpr char kPrivatePlace[] = "the administrators' private namespace";
constexpr char kUserPlace[] = "Global\\, this user's own";

// Vista's private namespace calls, looked up: the 32-bit DLL still loads on XP.
struct NamespaceCalls {
    using CreateBoundary = HANDLE(WINAPI*)(LPCWSTR, ULONG);
    using AddSid = BOOL(WINAPI*)(HANDLE*, PSID);
    using DeleteBoundary = VOID(WINAPI*)(HANDLE);
    using Create = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
    using Open = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
    using Close = BOOLEAN(WINAPI*)(HANDLE, ULONG);

    bool found() const {
        return createBoundary && addSid && deleteBoundary && create && open && close;
    }

    CreateBoundary createBoundary =
        SystemFunction<CreateBoundary>("kernel32.dll", "CreateBoundaryDescriptorW");
    AddSid addSid = SystemFunction<AddSid>("kernel32.dll", "AddSIDToBoundaryDescriptor");
    DeleteBoundary deleteBoundary =
        SystemFunction<DeleteBoundary>("kernel32.dll", "DeleteBoundaryDescriptor");
    Create create = SystemFunction<Create>("kernel32.dll", "CreatePrivateNamespaceW");
    Open open = SystemFunction<Open>("kernel32.dll", "OpenPrivateNamespaceW");
    Close close = SystemFunction<Close>("kernel32.dll", "ClosePrivateNamespace");
};

// The machine lock's private namespace for one hold. Closed without being destroyed: it lives on
// while any other setup holds it open, and goes with the last.
class PrivateNamespace {
public:
    PrivateNamespace() = default;
    PrivateNamespace(const PrivateNamespace&) = delete;
    PrivateNamespace& operator=(const PrivateNamespace&) = delete;
    ~PrivateNamespace() {
        if (handle_ != nullptr) calls_.close(handle_, 0);
    }

    LockPlace Open(std::uint32_t& error) {
        if (!calls_.found()) return JudgeNamespace(false, false, 0);
        HANDLE boundary = calls_.createBoundary(kSharedStateNamespace, 0);
        if (boundary == nullptr) {
            error = GetLastError();
            return JudgeNamespace(true, false, error);
        }
        SidBuffer admins = SidBuffer::WellKnown(WinBuiltinAdministratorsSid);
        SidBuffer system = SidBuffer::WellKnown(WinLocalSystemSid);
        if (calls_.addSid(&boundary, admins.get())) {
            AllowOnly onlyAdministrators(
                {{admins.get(), GENERIC_ALL}, {system.get(), GENERIC_ALL}});
            CreateOrOpen(onlyAdministrators.get(), boundary);
        }
        error = handle_ == nullptr ? GetLastError() : 0;
        calls_.deleteBoundary(boundary);
        return JudgeNamespace(true, handle_ != nullptr, error);
    }

private:
    // The last setup to hold the namespace may close it between our create and our open: then
    // the create is tried again.
    void CreateOrOpen(SECURITY_ATTRIBUTES* attributes, HANDLE boundary) {
        for (int tries = 0; tries < 3 && handle_ == nullptr; ++tries) {
            handle_ = calls_.create(attributes, boundary, kSharedStateNamespace);
            if (handle_ != nullptr || GetLastError() != ERROR_ALREADY_EXISTS) return;
            handle_ = calls_.open(boundary, kSharedStateNamespace);
        }
    }

    NamespaceCalls calls_;
    HANDLE handle_ = nullptr;
};

// Appends `text` to the name in `name`; false when it does not fit whole.
bool AppendName(LockName& name, const char* text) {
    const std::size_t used = std::strlen(name);
    const std::size_t added = std::strlen(text);
    if (used + added >= sizeof name) return false;
    std::memcpy(name + used, text, added + 1);
    return true;
}

// Why a try did not open the mutex, and the error behind it.
struct Refusal {
    const char* why = "";
    std::uint32_t error = 0;
};

// What a holder that died may have left half done, for the log.
const char* HalfDone(LockScope scope) {
    return scope == LockScope::Machine
               ? "a setup died holding the lock: the keys it deleted stay deleted, and the "
                 "counter may not have been lowered for them"
               : "a setup died holding the lock: the title it was storing may be missing";
}

// Owns the mutex handle of one hold, and the namespace it is in; releases the mutex first when
// the wait won it.
class MutexHold final : public SharedStateHold {
public:
    MutexHold() = default;
    ~MutexHold() override {
        if (owned_) ReleaseMutex(mutex_);
        if (mutex_ != nullptr) CloseHandle(mutex_);
    }

    // False, and why in `refusal`, when the mutex could not be opened as designed.
    bool Open(LockScope scope, Refusal& refusal) {
        place_ = scope == LockScope::Machine ? kGlobalNamespace : kUserPlace;
        if (scope == LockScope::Machine) {
            const LockPlace place = namespace_.Open(refusal.error);
            if (place == LockPlace::Refused) {
                refusal.why = WhyNotLocked(place);
                return false;
            }
            if (place == LockPlace::PrivateNamespace) {
                place_ = kPrivatePlace;
                return OpenNamed(scope, kSharedStatePrivateName, refusal);
            }
        }
        LockName name;
        if (!GlobalLockName(scope, name)) {
            refusal.why = WhyNotLocked(NameVerdict::Unavailable);
            return false;
        }
        return OpenNamed(scope, name, refusal);
    }

    WaitVerdict Wait(std::uint32_t& error) {
        const DWORD waited = WaitForSingleObject(mutex_, kSharedStateWaitMs);
        error = waited == WAIT_FAILED ? GetLastError() : 0;
        const WaitVerdict verdict = JudgeWait(waited);
        owned_ = verdict == WaitVerdict::Held || verdict == WaitVerdict::Abandoned;
        return verdict;
    }

    const char* place() const { return place_; }

private:
    // A mutex someone else made is used only when its owner is one a setup may be: anyone else
    // who made it could hold it for ever, or not hold it while setups think it held.
    bool OpenNamed(LockScope scope, const char* name, Refusal& refusal) {
        SidBuffer admins = SidBuffer::WellKnown(WinBuiltinAdministratorsSid);
        SidBuffer system = SidBuffer::WellKnown(WinLocalSystemSid);
        ProcessSids process;
        AllowOnly holders = scope == LockScope::Machine
                                ? AllowOnly({{admins.get(), kSharedStateMutexRights},
                                             {system.get(), kSharedStateMutexRights}})
                                : AllowOnly({{process.user.get(), kSharedStateMutexRights}});
        SetLastError(ERROR_SUCCESS);
        mutex_ = CreateMutexA(holders.get(), FALSE, name);
        const DWORD created = GetLastError();
        NameAnswer answer = AnswerOfCreate(mutex_ != nullptr, created);
        if (answer == NameAnswer::Denied) {
            mutex_ = OpenMutexA(kSharedStateMutexRights, FALSE, name);
            if (mutex_ != nullptr) answer = NameAnswer::Existing;
        }
        const bool trusted = answer == NameAnswer::Existing && OwnedByTrusted(mutex_);
        const NameVerdict verdict = JudgeName(answer, trusted);
        if (verdict == NameVerdict::Usable) return true;
        refusal.why = WhyNotLocked(verdict);
        refusal.error = verdict == NameVerdict::Unavailable ? created : 0;
        return false;
    }

    PrivateNamespace namespace_;
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
    const char* place_ = "";
};

}  // namespace

bool GlobalLockName(LockScope scope, LockName& name) {
    name[0] = '\0';
    if (!AppendName(name, kGlobalNamespace)) return false;
    if (scope == LockScope::Machine) return AppendName(name, kSharedStateMutexName);
    ProcessSids process;
    char* sid = nullptr;
    if (process.user.get() == nullptr || !ConvertSidToStringSidA(process.user.get(), &sid)) {
        return false;
    }
    const bool whole = AppendName(name, kUserStateMutexName) && AppendName(name, sid);
    LocalFree(sid);
    return whole;
}

// Nothing here throws: the 32-bit DLL carries no unwind tables for this file.
LockAttempt NamedMutexLock::Acquire() {
    std::unique_ptr<MutexHold> hold(new (std::nothrow) MutexHold);
    if (!hold) return {nullptr, WhyNotLocked(NameVerdict::Unavailable)};
    Refusal refusal;
    if (!hold->Open(scope_, refusal)) return {nullptr, refusal.why, refusal.error};
    std::uint32_t error = 0;
    const WaitVerdict waited = hold->Wait(error);
    if (waited == WaitVerdict::Busy || waited == WaitVerdict::Failed) {
        return {nullptr, WhyNotLocked(waited), error};
    }
    const char* place = hold->place();
    return {std::move(hold), place, 0,
            waited == WaitVerdict::Abandoned ? HalfDone(scope_) : nullptr};
}

}  // namespace instdll
