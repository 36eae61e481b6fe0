#pragma once

#include <windows.h>

#include <initializer_list>

namespace instdll {

// A SID kept by value, large enough for any.
class SidBuffer {
public:
    SidBuffer() = default;
    static SidBuffer WellKnown(WELL_KNOWN_SID_TYPE type);
    static SidBuffer Copy(PSID sid);

    // Null when it could not be made.
    PSID get() { return valid_ ? bytes_ : nullptr; }
    bool Equals(PSID other) { return valid_ && other != nullptr && EqualSid(bytes_, other); }

private:
    alignas(DWORD) BYTE bytes_[SECURITY_MAX_SID_SIZE] = {};
    bool valid_ = false;
};

// The SIDs of the process's token that stand for who made an object: its user and the owner it
// gives new objects (the Administrators group for an elevated administrator).
struct ProcessSids {
    ProcessSids();
    SidBuffer user;
    SidBuffer owner;
};

// Whether an object's owner is one a setup of the family may be: an administrator, SYSTEM or
// this process's own user. Anyone else made it to squat on the name.
bool OwnedByTrusted(HANDLE object);

// Security attributes whose DACL allows only the grants given and, protected, takes nothing from
// the folder or directory it is made in.
class AllowOnly {
public:
    struct Grant {
        PSID sid;
        DWORD rights;
    };
    explicit AllowOnly(std::initializer_list<Grant> grants);
    AllowOnly(const AllowOnly&) = delete;
    AllowOnly& operator=(const AllowOnly&) = delete;

    // Null when a SID was missing or the descriptor could not be built.
    SECURITY_ATTRIBUTES* get() { return valid_ ? &attributes_ : nullptr; }

private:
    PACL Acl() { return reinterpret_cast<PACL>(acl_); }

    // The header and four ACEs of SIDs of the largest size.
    alignas(DWORD)
        BYTE acl_[sizeof(ACL) + 4 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)] = {};
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool valid_ = false;
};

}  // namespace instdll
