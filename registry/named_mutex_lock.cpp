#include "registry/named_mutex_lock.h"

#include <windows.h>

#include <sddl.h>

#include <optional>
#include <string>
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

// "S-1-5-...": the user lock's name ends in it.
std::optional<std::string> UserSidText() {
    ProcessSids process;
    char* text = nullptr;
    if (process.user.get() == nullptr || !ConvertSidToStringSidA(process.user.get(), &text)) {
        return std::nullopt;
    }
    std::string owned(text);
    LocalFree(text);
    return owned;
}

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

    // Null when the mutex was opened as designed; else why it was not.
    std::optional<LockAttempt> Open(LockScope scope) {
        place_ = scope == LockScope::Machine ? kGlobalNamespace : kUserPlace;
        if (scope == LockScope::Machine) {
            std::uint32_t error = 0;
            const LockPlace place = namespace_.Open(error);
            if (place == LockPlace::Refused)
                return LockAttempt{nullptr, WhyNotLocked(place), error};
            if (place == LockPlace::PrivateNamespace) {
                place_ = kPrivatePlace;
                return OpenNamed(scope, kSharedStatePrivateName);
            }
        }
        const std::optional<std::string> name = GlobalLockName(scope);
        if (!name) return LockAttempt{nullptr, WhyNotLocked(NameVerdict::Unavailable)};
        return OpenNamed(scope, *name);
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
    std::optional<LockAttempt> OpenNamed(LockScope scope, const std::string& name) {
        SidBuffer admins = SidBuffer::WellKnown(WinBuiltinAdministratorsSid);
        SidBuffer system = SidBuffer::WellKnown(WinLocalSystemSid);
        ProcessSids process;
        AllowOnly holders = scope == LockScope::Machine
                                ? AllowOnly({{admins.get(), kSharedStateMutexRights},
                                             {system.get(), kSharedStateMutexRights}})
                                : AllowOnly({{process.user.get(), kSharedStateMutexRights}});
        SetLastError(ERROR_SUCCESS);
        mutex_ = CreateMutexA(holders.get(), FALSE, name.c_str());
        const DWORD created = GetLastError();
        NameAnswer answer = AnswerOfCreate(mutex_ != nullptr, created);
        if (answer == NameAnswer::Denied) {
            mutex_ = OpenMutexA(kSharedStateMutexRights, FALSE, name.c_str());
            if (mutex_ != nullptr) answer = NameAnswer::Existing;
        }
        const bool trusted = answer == NameAnswer::Existing && OwnedByTrusted(mutex_);
        const NameVerdict verdict = JudgeName(answer, trusted);
        if (verdict == NameVerdict::Usable) return std::nullopt;
        return LockAttempt{nullptr, WhyNotLocked(verdict),
                           verdict == NameVerdict::Unavailable ? created : 0};
    }

    PrivateNamespace namespace_;
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
    const char* place_ = "";
};

}  // namespace

std::optional<std::string> GlobalLockName(LockScope scope) {
    if (scope == LockScope::Machine) return std::string(kGlobalNamespace) + kSharedStateMutexName;
    const std::optional<std::string> user = UserSidText();
    if (!user) return std::nullopt;
    return std::string(kGlobalNamespace) + kUserStateMutexName + *user;
}

LockAttempt NamedMutexLock::Acquire() {
    auto hold = std::make_unique<MutexHold>();
    if (std::optional<LockAttempt> failed = hold->Open(scope_)) return std::move(*failed);
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
