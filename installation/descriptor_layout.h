// Security descriptors as constants, laid out byte for byte as the system lays
// out a self-relative descriptor, so that no code builds one at run time and
// nothing has to be freed; and the well-known SIDs they and the rights check
// name.
#pragma once

#include <windows.h>

// A SID with count sub-authorities, in the system's layout.
template <int count>
struct SidOf {
    BYTE revision;
    BYTE subAuthorityCount;
    BYTE authority[6];   // big-endian
    DWORD subAuthority[count];
};

// An allowing ACE whose SID has count sub-authorities.
template <int count>
struct AllowedAceOf {
    ACE_HEADER header;
    ACCESS_MASK mask;
    SidOf<count> sid;
};

#define TOLM_NT_AUTHORITY {0, 0, 0, 0, 0, 5}
#define TOLM_CREATOR_AUTHORITY {0, 0, 0, 0, 0, 3}

inline constexpr SidOf<1> systemSid = {SID_REVISION, 1, TOLM_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
inline constexpr SidOf<2> administratorsSid = {SID_REVISION, 2, TOLM_NT_AUTHORITY,
                                               {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
inline constexpr SidOf<2> usersSid = {SID_REVISION, 2, TOLM_NT_AUTHORITY,
                                      {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}};
// NT SERVICE\TrustedInstaller, which owns the system's own folders.
inline constexpr SidOf<6> installerServiceSid = {SID_REVISION, 6, TOLM_NT_AUTHORITY,
                                                 {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464}};
// CREATOR OWNER: a grant that passes to whoever creates something below.
inline constexpr SidOf<1> creatorOwnerSid = {SID_REVISION, 1, TOLM_CREATOR_AUTHORITY, {SECURITY_CREATOR_OWNER_RID}};
// OWNER RIGHTS: what the owner may do beyond the grants, which is otherwise
// to read and change the rights.
inline constexpr SidOf<1> ownerRightsSid = {SID_REVISION, 1, TOLM_CREATOR_AUTHORITY,
                                            {SECURITY_CREATOR_OWNER_RIGHTS_RID}};

// What every descriptor here begins with: the offsets of its owner (0 for
// none: the creator's default) and of its DACL, which is protected from what
// the parent grants.
#define TOLM_PROTECTED_DACL_HEADER(ownerOffset, daclOffset)                                                            \
    {SECURITY_DESCRIPTOR_REVISION, 0, SE_DACL_PRESENT | SE_DACL_PROTECTED | SE_SELF_RELATIVE, ownerOffset, 0, 0,       \
     daclOffset}

// Inherited by the files and folders below.
inline constexpr BYTE inheritedBelow = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
