// Holding a folder: every folder from the drive down is looked at without
// following links, then the folder itself is opened without delete sharing,
// and the system is asked which folder that handle really is.
#include "safe_folder.h"

#include "path_text.h"

namespace {

constexpr WCHAR separator = L'\\';
// Listing the folder is an access the system weighs share modes for; an open
// for attributes alone would leave the folder free to be renamed.
constexpr DWORD heldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
// Readers and writers of the folder's entries may share it; no one may rename
// or delete it while it is held.
constexpr DWORD heldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD openFolderFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
// What GetFinalPathNameByHandleW puts before a drive path and a network path.
constexpr WCHAR drivePrefix[] = L"\\\\?\\";
constexpr WCHAR networkPrefix[] = L"\\\\?\\UNC\\";
constexpr int finalCapacity = pathCapacity + 8;   // a path of ours and the longer prefix

// Where the first folder below the root begins: after "X:\", or after
// "\\server\share\". 0 when path is neither, and so not a full path.
int firstFolderStart(const WCHAR* path)
{
    if (((path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z') && path[1] == L':' && path[2] == separator)
        return 3;
    if (path[0] != separator || path[1] != separator)
        return 0;
    int at = 2;
    for (int names = 0; names < 2; names++) {
        const int start = at;
        while (path[at] && path[at] != separator)
            at++;
        if (at == start || (names == 0 && path[at] != separator))
            return 0;
        if (path[at])
            at++;
    }
    return at;
}

FolderVerdict verdictForError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderVerdict::missing
                                                                          : FolderVerdict::unreadable;
}

// The root first, then each folder from the first below it to the last: it
// exists, is a folder, and is not a link. A folder is missing only when the
// one above it was found without it; a root that cannot be reached (a drive
// that is away, a server that does not answer) makes the rest unreadable.
// The root itself is whatever the drive or share is mounted as: only the
// open handle's path is checked for it. path is restored on return.
FolderVerdict checkEveryFolder(WCHAR* path, int start)
{
    const WCHAR atRoot = path[start];
    path[start] = L'\0';
    const bool rootReached = GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
    path[start] = atRoot;
    if (!rootReached)
        return FolderVerdict::unreadable;
    if (atRoot == L'\0')
        return FolderVerdict::usable;
    for (int at = start;; at++) {
        const WCHAR kept = path[at];
        if (kept != separator && kept != L'\0')
            continue;
        path[at] = L'\0';
        const DWORD attributes = GetFileAttributesW(path);
        const DWORD error = GetLastError();
        path[at] = kept;
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return verdictForError(error);
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return FolderVerdict::linked;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return FolderVerdict::missing;
        if (kept == L'\0')
            return FolderVerdict::usable;
    }
}

// The held handle is a folder, not a link, and the one path names.
FolderVerdict checkHeldIsPath(HANDLE held, const WCHAR* path)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(held, &info))
        return FolderVerdict::unreadable;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return FolderVerdict::linked;
    return isReachedAs(held, path) ? FolderVerdict::usable : FolderVerdict::linked;
}

} // namespace

bool isReachedAs(HANDLE handle, const WCHAR* path)
{
    WCHAR final[finalCapacity];
    const DWORD length = GetFinalPathNameByHandleW(handle, final, finalCapacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= DWORD(finalCapacity))
        return false;
    const WCHAR* reached = final;
    const WCHAR* named = path;
    if (CompareStringOrdinal(final, lstrlenW(networkPrefix), networkPrefix, -1, TRUE) == CSTR_EQUAL) {
        reached += lstrlenW(networkPrefix);   // "\\?\UNC\server\share" is "\\server\share"
        named += 2;
    } else if (CompareStringOrdinal(final, lstrlenW(drivePrefix), drivePrefix, -1, TRUE) == CSTR_EQUAL) {
        reached += lstrlenW(drivePrefix);
    }
    return CompareStringOrdinal(reached, -1, named, -1, TRUE) == CSTR_EQUAL;
}

FolderVerdict holdFolder(const WCHAR* folder, HANDLE& held)
{
    held = INVALID_HANDLE_VALUE;
    WCHAR path[pathCapacity];
    int length = boundedLength(folder, pathCapacity);
    const int start = firstFolderStart(folder);
    if (length == pathCapacity || start == 0)
        return FolderVerdict::unreadable;
    lstrcpynW(path, folder, pathCapacity);
    // The root keeps its backslash; any other folder is named without one.
    if (length > start && path[length - 1] == separator)
        path[--length] = L'\0';

    FolderVerdict verdict = checkEveryFolder(path, start);
    if (verdict != FolderVerdict::usable)
        return verdict;
    HANDLE handle = CreateFileW(path, heldAccess, heldSharing, nullptr, OPEN_EXISTING, openFolderFlags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return verdictForError(GetLastError());
    verdict = checkHeldIsPath(handle, path);
    if (verdict == FolderVerdict::usable)
        held = handle;
    else
        CloseHandle(handle);
    return verdict;
}

void releaseFolder(HANDLE& held)
{
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
}
