// The uninstaller's copy of itself, in a folder of its own in the temp folder.
//
// The temp folder is open to others: the same user's programs without
// administrator rights, every user where the temp folder lies on a drive's
// root, or everyone in the system's temp folder that a deployment tool runs
// in. So the copy lives in a new folder with a name no one can guess, which
// only the system and the administrators may enter and which is created and
// opened in one step; both stay open without delete sharing, so neither can
// be renamed or replaced; the copy is open without write sharing, so it
// cannot be changed; and the process is let run only once it is found to run
// that very file.
#include "self_removal.h"

#include <ntsecapi.h>
#include <stddef.h>
#include <winternl.h>

#include "descriptor_layout.h"
#include "path_text.h"
#include "product.h"
#include "safe_folder.h"

namespace {

constexpr WCHAR folderPrefix[] = L"kst";
constexpr WCHAR copyName[] = L"\\" TOLM_UNINSTALLER_FILE;
constexpr int nameTries = 4;                      // a name that is taken is drawn again
constexpr WCHAR ntPrefix[] = L"\\??\\";           // a full path as the native calls take it

// The folder's rights: full control for the system and the administrators
// only, inherited by the copy and protected from the temp folder's. Its owner,
// who may be the user the process runs as, keeps only the right to read them:
// that user's programs without administrator rights must not get in.
struct PrivateDescriptor {
    SECURITY_DESCRIPTOR_RELATIVE header;
    ACL acl;
    AllowedAceOf<1> system;
    AllowedAceOf<2> administrators;
    AllowedAceOf<1> ownerRights;
};

constexpr PrivateDescriptor privateDescriptor = {
    TOLM_PROTECTED_DACL_HEADER(0, offsetof(PrivateDescriptor, acl)),
    {ACL_REVISION, 0, sizeof(PrivateDescriptor) - offsetof(PrivateDescriptor, acl), 3, 0},
    {{ACCESS_ALLOWED_ACE_TYPE, inheritedBelow, sizeof(AllowedAceOf<1>)}, FILE_ALL_ACCESS, systemSid},
    {{ACCESS_ALLOWED_ACE_TYPE, inheritedBelow, sizeof(AllowedAceOf<2>)}, FILE_ALL_ACCESS, administratorsSid},
    {{ACCESS_ALLOWED_ACE_TYPE, inheritedBelow, sizeof(AllowedAceOf<1>)}, READ_CONTROL, ownerRightsSid},
};
static_assert(sizeof(PrivateDescriptor) == 92, "the descriptor has the system's layout, without padding");

using GetTempPath2WProc = DWORD(WINAPI*)(DWORD, LPWSTR);
using NtCreateFileProc = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                      ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);

// The temp folder: the private one that newer systems give a process running
// as the system, otherwise the usual one. It ends in a backslash.
bool readTempFolder(WCHAR* folder)
{
    const auto getTempPath2 = reinterpret_cast<GetTempPath2WProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTempPath2W")));
    const DWORD length = getTempPath2 ? getTempPath2(pathCapacity, folder) : GetTempPathW(pathCapacity, folder);
    return length > 0 && length < DWORD(pathCapacity);
}

// path: folder, then the prefix and 64 random bits in hexadecimal, then suffix.
bool composeRandomName(WCHAR* path, const WCHAR* folder, const WCHAR* suffix)
{
    DWORD random[2];
    if (!RtlGenRandom(random, sizeof random) || lstrlenW(folder) + lstrlenW(suffix) + 3 + 16 >= pathCapacity)
        return false;
    wsprintfW(path, L"%s%s%08lx%08lx%s", folder, folderPrefix, random[0], random[1], suffix);
    return true;
}

// Creates the folder at path and opens it in one step, so that the handle is
// the folder created, whatever may happen at its name: held, inheritable,
// and deleted when its last handle closes while it is empty.
HANDLE createHeldFolder(const WCHAR* path)
{
    const auto ntCreateFile = reinterpret_cast<NtCreateFileProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateFile")));
    static WCHAR ntPath[pathCapacity + 4];
    lstrcpyW(ntPath, ntPrefix);
    lstrcpyW(ntPath + lstrlenW(ntPrefix), path);
    UNICODE_STRING name;
    name.Buffer = ntPath;
    name.Length = USHORT(lstrlenW(ntPath) * sizeof(WCHAR));
    name.MaximumLength = USHORT(name.Length + sizeof(WCHAR));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_INHERIT, nullptr,
                               const_cast<PrivateDescriptor*>(&privateDescriptor));
    IO_STATUS_BLOCK status;
    HANDLE folder = INVALID_HANDLE_VALUE;
    if (!ntCreateFile ||
        ntCreateFile(&folder, DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &status, nullptr,
                     FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
                     FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_DELETE_ON_CLOSE, nullptr, 0) < 0)
        return INVALID_HANDLE_VALUE;
    return folder;
}

bool isSameFile(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second)
{
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// The file the process was started from is the one file holds open.
bool runsFile(HANDLE process, HANDLE file)
{
    WCHAR image[pathCapacity];
    DWORD length = pathCapacity;
    if (!QueryFullProcessImageNameW(process, 0, image, &length))
        return false;
    HANDLE started = CreateFileW(image, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (started == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION startedInfo, fileInfo;
    const bool same = GetFileInformationByHandle(started, &startedInfo) &&
                      GetFileInformationByHandle(file, &fileInfo) && isSameFile(startedInfo, fileInfo);
    CloseHandle(started);
    return same;
}

} // namespace

bool makePrivateCopy(const WCHAR* exePath, PrivateCopy& copy)
{
    copy.folder = INVALID_HANDLE_VALUE;
    copy.file = INVALID_HANDLE_VALUE;
    WCHAR tempFolder[pathCapacity];
    if (!readTempFolder(tempFolder))
        return false;
    for (int tries = 0; copy.folder == INVALID_HANDLE_VALUE; tries++) {
        if (tries == nameTries || !composeRandomName(copy.path, tempFolder, L""))
            return false;
        copy.folder = createHeldFolder(copy.path);
    }
    // In the held folder only the system and the administrators may make or
    // change a file, and the copy takes its rights from there. It is run
    // through a handle that no one may write to or rename while it is open:
    // the system runs no file that is open for writing.
    SECURITY_ATTRIBUTES inheritable;
    inheritable.nLength = sizeof inheritable;
    inheritable.lpSecurityDescriptor = nullptr;
    inheritable.bInheritHandle = TRUE;
    if (lstrlenW(copy.path) + lstrlenW(copyName) < pathCapacity) {
        lstrcatW(copy.path, copyName);
        if (CopyFileW(exePath, copy.path, TRUE)) {
            copy.file = CreateFileW(copy.path, GENERIC_READ | DELETE, FILE_SHARE_READ, &inheritable, OPEN_EXISTING,
                                    FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (copy.file == INVALID_HANDLE_VALUE)
                DeleteFileW(copy.path);
        }
    }
    if (copy.file == INVALID_HANDLE_VALUE || !copyIsIntact(copy.file, exePath)) {
        discardPrivateCopy(copy);
        return false;
    }
    return true;
}

void discardPrivateCopy(PrivateCopy& copy)
{
    // The copy goes with its last handle, then its folder, empty, with its own.
    if (copy.file != INVALID_HANDLE_VALUE)
        CloseHandle(copy.file);
    if (copy.folder != INVALID_HANDLE_VALUE)
        CloseHandle(copy.folder);
    copy.file = INVALID_HANDLE_VALUE;
    copy.folder = INVALID_HANDLE_VALUE;
}

bool startPrivateCopy(const PrivateCopy& copy, WCHAR* commandLine, const WCHAR* currentFolder,
                      PROCESS_INFORMATION& process)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(copy.path, commandLine, nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, currentFolder,
                        &startup, &process))
        return false;
    if (runsFile(process.hProcess, copy.file) && ResumeThread(process.hThread) != DWORD(-1))
        return true;
    TerminateProcess(process.hProcess, ERROR_INSTALL_FAILURE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return false;
}

bool tempFolderOfCopy(const WCHAR* copyPath, WCHAR* folder)
{
    lstrcpynW(folder, copyPath, pathCapacity);
    return cutLastName(folder) > 0 && cutLastName(folder) > 0 && appendPathName(folder, pathCapacity, L"") > 0;
}

void leavePrivateFolder(HANDLE file, HANDLE folder)
{
    // A running program's file cannot be deleted, nor its folder while it
    // holds the file: the copy moves to the temp folder itself, where the
    // file system deletes it as the process ends, and its folder, now empty,
    // goes with the handle closed here.
    WCHAR ownPath[pathCapacity];
    WCHAR tempFolder[pathCapacity];
    WCHAR target[pathCapacity];
    const DWORD length = GetModuleFileNameW(nullptr, ownPath, pathCapacity);
    if (length > 0 && length < DWORD(pathCapacity) && tempFolderOfCopy(ownPath, tempFolder)) {
        for (int tries = 0; tries < nameTries; tries++)
            if (composeRandomName(target, tempFolder, L".tmp") && renameOpenFile(file, target, false))
                break;
    }
    CloseHandle(folder);
}
