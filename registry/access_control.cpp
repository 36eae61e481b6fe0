#include "registry/access_control.h"

#include <aclapi.h>

#include <cstddef>

namespace instdll {
namespace {

class OwnedToken {
public:
    OwnedToken() {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token_)) token_ = nullptr;
    }
    OwnedToken(const OwnedToken&) = delete;
    OwnedToken& operator=(const OwnedToken&) = delete;
    ~OwnedToken() {
        if (token_ != nullptr) CloseHandle(token_);
    }

    // The SID at the head of the token's `kind` record; both records asked for start with one.
    SidBuffer Sid(TOKEN_INFORMATION_CLASS kind) {
        alignas(void*) BYTE record[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (token_ == nullptr || !GetTokenInformation(token_, kind, record, sizeof record, &size)) {
            return {};
        }
        static_assert(offsetof(TOKEN_USER, User.Sid) == offsetof(TOKEN_OWNER, Owner));
        return SidBuffer::Copy(reinterpret_cast<TOKEN_OWNER*>(record)->Owner);
    }

private:
    HANDLE token_ = nullptr;
};

}  // namespace

SidBuffer SidBuffer::WellKnown(WELL_KNOWN_SID_TYPE type) {
    SidBuffer sid;
    DWORD size = sizeof sid.bytes_;
    sid.valid_ = CreateWellKnownSid(type, nullptr, sid.bytes_, &size) != FALSE;
    return sid;
}

SidBuffer SidBuffer::Copy(PSID source) {
    SidBuffer sid;
    sid.valid_ = source != nullptr && IsValidSid(source) &&
                 CopySid(sizeof sid.bytes_, sid.bytes_, source) != FALSE;
    return sid;
}

ProcessSids::ProcessSids() {
    OwnedToken token;
    user = token.Sid(TokenUser);
    owner = token.Sid(TokenOwner);
}

bool OwnedByTrusted(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    ProcessSids process;
    const bool trusted = SidBuffer::WellKnown(WinBuiltinAdministratorsSid).Equals(owner) ||
                         SidBuffer::WellKnown(WinLocalSystemSid).Equals(owner) ||
                         process.user.Equals(owner) || process.owner.Equals(owner);
    LocalFree(descriptor);
    return trusted;
}

AllowOnly::AllowOnly(std::initializer_list<Grant> grants) {
    valid_ = InitializeAcl(Acl(), sizeof acl_, ACL_REVISION) != FALSE;
    for (const Grant& grant : grants) {
        valid_ = valid_ && grant.sid != nullptr &&
                 AddAccessAllowedAce(Acl(), ACL_REVISION, grant.rights, grant.sid);
    }
    valid_ = valid_ && InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorDacl(&descriptor_, TRUE, Acl(), FALSE) &&
             SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    attributes_ = {sizeof attributes_, &descriptor_, FALSE};
}

}  // namespace instdll
