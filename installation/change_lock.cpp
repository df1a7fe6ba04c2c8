// The change lock (change_lock.h): a named mutex, made with rights that let
// only the administrators open it, and owned by them. Private namespaces
// would keep the name itself from other users, but Wine has none (its
// boundary descriptors are stubs), and every test runs there; checking the
// owner of a name that exists tells a lock that an administrator's run made
// from a name a standard user took first.
#include "change_lock.h"

#include <windows.h>

#include <stddef.h>

#include "descriptor_layout.h"
#include "install_log.h"
#include "product.h"

namespace {

// Only the administrators may open it; the system's own token holds their
// group too. They own it.
struct LockDescriptor {
    SECURITY_DESCRIPTOR_RELATIVE header;
    SidOf<2> owner;
    ACL acl;
    AllowedAceOf<2> administrators;
};

constexpr LockDescriptor lockDescriptor = {
    TOLM_PROTECTED_DACL_HEADER(offsetof(LockDescriptor, owner), offsetof(LockDescriptor, acl)),
    administratorsSid,
    {ACL_REVISION, 0, sizeof(LockDescriptor) - offsetof(LockDescriptor, acl), 1, 0},
    {{ACCESS_ALLOWED_ACE_TYPE, 0, sizeof(AllowedAceOf<2>)}, MUTEX_ALL_ACCESS, administratorsSid},
};
// Header 20, the owner's SID 16, ACL header 8, an ACE of 8 with a SID of 16.
static_assert(sizeof(LockDescriptor) == 68, "the descriptor has the system's layout, without padding");
const SECURITY_ATTRIBUTES lockAttributes = {sizeof(SECURITY_ATTRIBUTES), const_cast<LockDescriptor*>(&lockDescriptor),
                                            FALSE};

HANDLE held;   // the lock, while this process holds it
bool logged;   // a lock that is not to be had is logged once a run

// True when the administrators own the lock: only then did a run with
// administrator rights make it (the system's runs too name them as its
// owner), and only with the rights above. No one else may make them owner.
bool madeByAdministrators(HANDLE lock)
{
    BYTE descriptor[128];   // the header and an owner SID of at most 68 bytes
    DWORD needed = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return GetKernelObjectSecurity(lock, OWNER_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed) &&
           GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner &&
           EqualSid(owner, const_cast<SidOf<2>*>(&administratorsSid));
}

} // namespace

ChangeLock takeChangeLock(DWORD wait)
{
    if (held)
        return ChangeLock::taken;
    HANDLE lock = CreateMutexW(const_cast<SECURITY_ATTRIBUTES*>(&lockAttributes), FALSE, changeLockName);
    // A name that exists and is not an administrator's is not the lock:
    // whoever took it could otherwise keep every install and removal out for
    // good. Nor is one that cannot be made or opened (administrators may not
    // open it, or it names another kind of object): the run goes on without.
    const bool squatted = lock && GetLastError() == ERROR_ALREADY_EXISTS && !madeByAdministrators(lock);
    if (!lock || squatted) {
        if (!logged) {
            logged = true;
            if (squatted)
                logText("change lock", "squatted by another user");
            else
                logOutcome("change lock", changeLockName, false);
        }
        if (lock)
            CloseHandle(lock);
        return ChangeLock::squatted;
    }
    // Abandoned: its holder ended in the middle of a change, which its
    // journal settles.
    const DWORD result = WaitForSingleObject(lock, wait);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        held = lock;
        return ChangeLock::taken;
    }
    CloseHandle(lock);
    return ChangeLock::busy;
}

void releaseChangeLock()
{
    if (!held)
        return;
    ReleaseMutex(held);
    CloseHandle(held);
    held = nullptr;
}
