#include "registry/named_mutex_lock.h"

#include <windows.h>

#include <string>
#include <utility>

namespace instdll {
namespace {

static_assert(kSharedStateMutexRights == (SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL));

// A descriptor whose DACL lets everyone wait on and release the mutex. Without it the mutex
// takes its creator's default DACL, and a setup of another user, or not elevated, would be
// refused it and lock an object of its own.
class EveryoneMaySynchronize {
public:
    EveryoneMaySynchronize() {
        valid_ = InitializeAcl(AclBuffer(), sizeof acl_, ACL_REVISION) &&
                 AddAccessAllowedAce(AclBuffer(), ACL_REVISION, kSharedStateMutexRights, &world_) &&
                 InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&descriptor_, TRUE, AclBuffer(), FALSE);
        attributes_ = {sizeof attributes_, &descriptor_, FALSE};
    }
    EveryoneMaySynchronize(const EveryoneMaySynchronize&) = delete;
    EveryoneMaySynchronize& operator=(const EveryoneMaySynchronize&) = delete;

    // Null, the creator's default, when the descriptor could not be built.
    SECURITY_ATTRIBUTES* get() { return valid_ ? &attributes_ : nullptr; }

private:
    PACL AclBuffer() { return reinterpret_cast<PACL>(acl_); }

    SID world_{SID_REVISION, 1, SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID}};
    // The ACL header and one ACE for a SID of one subauthority, with room to spare.
    alignas(DWORD) BYTE acl_[64] = {};
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool valid_ = false;
};

// Owns the mutex handle of one hold; releases the mutex first when the wait won it.
class MutexHold final : public SharedStateHold {
public:
    MutexHold() = default;
    ~MutexHold() override {
        if (owned_) ReleaseMutex(mutex_);
        if (mutex_ != nullptr) CloseHandle(mutex_);
    }

    // The namespace it opened the mutex in; null when it could open none. A mutex that exists
    // with a descriptor granting less than the creation call asks for, made by an earlier build
    // or another program, is opened for waiting only, in its own namespace.
    const char* Open() {
        EveryoneMaySynchronize everyone;
        for (const char* space : {kGlobalNamespace, kLocalNamespace}) {
            const std::string name = std::string(space) + kSharedStateMutexName;
            mutex_ = CreateMutexA(everyone.get(), FALSE, name.c_str());
            if (mutex_ == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
                mutex_ = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
            }
            if (mutex_ != nullptr) return space;
        }
        return nullptr;
    }
    // An abandoned mutex belongs to this thread now. Whatever its dead holder left half done
    // stays so however long this call waits, so the call goes on.
    bool Wait() {
        const DWORD waited = WaitForSingleObject(mutex_, kSharedStateWaitMs);
        owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        return owned_;
    }

private:
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
};

}  // namespace

LockAttempt NamedMutexLock::Acquire() {
    auto hold = std::make_unique<MutexHold>();
    const char* space = hold->Open();
    if (space == nullptr) return {nullptr, "no mutex could be created or opened"};
    if (!hold->Wait()) return {nullptr, "another setup held it past the wait"};
    return {std::move(hold), space};
}

}  // namespace instdll
