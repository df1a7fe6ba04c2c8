// Who may change a folder: the protected rights the install gives its
// folders and files, and the check of a folder that exists already.
#include "safe_folder.h"

#include <stddef.h>

#include "descriptor_layout.h"

namespace {

// Owned by the administrators rather than by whoever installed: the rights
// check takes no other owner but the installing account, and any
// administrator may update the book later.
struct ProtectedDescriptor {
    SECURITY_DESCRIPTOR_RELATIVE header;
    SidOf<2> owner;
    ACL acl;
    AllowedAceOf<1> system;
    AllowedAceOf<2> administrators;
    AllowedAceOf<2> users;
};

constexpr ProtectedDescriptor protectedDescriptor = {
    TOLM_PROTECTED_DACL_HEADER(offsetof(ProtectedDescriptor, owner), offsetof(ProtectedDescriptor, acl)),
    administratorsSid,
    {ACL_REVISION, 0, sizeof(ProtectedDescriptor) - offsetof(ProtectedDescriptor, acl), 3, 0},
    {{ACCESS_ALLOWED_ACE_TYPE, inheritedBelow, sizeof(AllowedAceOf<1>)}, FILE_ALL_ACCESS, systemSid},
    {{ACCESS_ALLOWED_ACE_TYPE, inheritedBelow, sizeof(AllowedAceOf<2>)}, FILE_ALL_ACCESS, administratorsSid},
    {{ACCESS_ALLOWED_ACE_TYPE, inheritedBelow, sizeof(AllowedAceOf<2>)}, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE,
     usersSid},
};
// Header 20, the owner's SID 16, ACL header 8, an ACE of 8 with a SID of 12
// and two with 16.
static_assert(sizeof(ProtectedDescriptor) == 112, "the descriptor has the system's layout, without padding");

// Any of these lets a grantee change what the folder holds or who may.
constexpr ACCESS_MASK changeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                     FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                     GENERIC_ALL;

constexpr int descriptorCapacity = 4096;   // bytes: a folder's owner and a long DACL
constexpr int tokenUserCapacity = 128;     // bytes: TOKEN_USER and the longest SID (68)

const void* const trustedSids[] = {&systemSid, &administratorsSid, &installerServiceSid, &creatorOwnerSid};
constexpr int trustedOwnerCount = 3;       // the first three may also own the folder

// The account this process runs as, which may change what it installs.
bool readInstallingAccount(BYTE* buffer)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    const BOOL read = GetTokenInformation(token, TokenUser, buffer, tokenUserCapacity, &size);
    CloseHandle(token);
    return read;
}

// sid is the installing account's or one of the first count trusted SIDs.
bool isTrusted(PSID sid, PSID account, int count)
{
    if (account && EqualSid(sid, account))
        return true;
    for (int i = 0; i < count; i++)
        if (EqualSid(sid, const_cast<void*>(trustedSids[i])))
            return true;
    return false;
}

// An ACE that allows changeRights to someone not trusted. An object ACE keeps
// its SID behind optional GUIDs: it counts whoever it names.
bool grantsChangeToOthers(const ACE_HEADER* ace, PSID account)
{
    const ACCESS_MASK mask = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace)->Mask;
    if (!(mask & changeRights))
        return false;
    switch (ace->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
        PSID grantee = const_cast<DWORD*>(&reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace)->SidStart);
        return !isTrusted(grantee, account, sizeof trustedSids / sizeof *trustedSids);
    }
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
        return true;
    default:
        return false;   // denials and audit entries grant nothing
    }
}

} // namespace

extern const SECURITY_ATTRIBUTES protectedAttributes = {
    sizeof(SECURITY_ATTRIBUTES), const_cast<ProtectedDescriptor*>(&protectedDescriptor), FALSE};

FolderVerdict checkFolderRights(HANDLE held)
{
    // Rights are read once per run: .bss rather than a large frame.
    static BYTE descriptor[descriptorCapacity];
    static BYTE tokenUser[tokenUserCapacity];
    DWORD needed = 0;
    if (!GetKernelObjectSecurity(held, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor,
                                 descriptorCapacity, &needed))
        return FolderVerdict::unreadable;
    const PSID account = readInstallingAccount(tokenUser) ? reinterpret_cast<TOKEN_USER*>(tokenUser)->User.Sid : nullptr;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
        return FolderVerdict::unreadable;
    // No DACL at all grants everyone everything.
    if (!owner || !isTrusted(owner, account, trustedOwnerCount) || !present || !dacl)
        return FolderVerdict::openToOthers;
    for (DWORD i = 0; i < dacl->AceCount; i++) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return FolderVerdict::unreadable;
        if (grantsChangeToOthers(static_cast<const ACE_HEADER*>(ace), account))
            return FolderVerdict::openToOthers;
    }
    return FolderVerdict::usable;
}

bool protectFolder(HANDLE held)
{
    // The held handle may only read: a second one, to the same folder and not
    // to whatever its path names now, may change its rights, and its owner
    // where the administrators may take it.
    constexpr DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                 PROTECTED_DACL_SECURITY_INFORMATION;
    HANDLE writable = ReOpenFile(held, WRITE_DAC | WRITE_OWNER, sharing, FILE_FLAG_BACKUP_SEMANTICS);
    if (writable == INVALID_HANDLE_VALUE) {
        parts &= ~OWNER_SECURITY_INFORMATION;
        writable = ReOpenFile(held, WRITE_DAC, sharing, FILE_FLAG_BACKUP_SEMANTICS);
    }
    if (writable == INVALID_HANDLE_VALUE)
        return false;
    const BOOL set = SetKernelObjectSecurity(writable, parts, const_cast<ProtectedDescriptor*>(&protectedDescriptor));
    CloseHandle(writable);
    return set;
}
