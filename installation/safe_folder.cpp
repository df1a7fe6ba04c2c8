// Holding a folder: every folder from the drive down is looked at without
// following links, then the folder itself is opened without delete sharing,
// and the system is asked which folder that handle really is.
//
// Only a link is a reason to refuse: another spelling of the same folder (a
// short name, other letter case, a substituted or mapped drive, a share's
// own name) is the same folder. So the path is compared with what the system
// reached as folders, not as text: its short names expanded, and its root
// taken as whatever that is mounted as. A root is a drive or a share, or the
// user's desktop folder, which profiles reach through links and mount points
// of their own (Wine links it to the Unix home): the folders below it are
// checked, the desktop itself is what the system says it is.
#include "safe_folder.h"

#include <shlobj.h>

#include "install_log.h"
#include "path_text.h"

namespace {

constexpr WCHAR separator = L'\\';
// Listing the folder is an access the system weighs share modes for; an open
// for attributes alone would leave the folder free to be renamed.
constexpr DWORD heldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
// Readers and writers of the folder's entries may share it; no one may rename
// or delete it while it is held.
constexpr DWORD heldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD anySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD openFolderFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
// A final path of any length the system gives: a root mounted deep in
// another folder can take it far beyond a path of ours.
constexpr int finalCapacity = 32768;
WCHAR expected[finalCapacity + pathCapacity];   // the root's final path, then the names below it
WCHAR reached[finalCapacity];

// The held folder whose final path namedFinal holds, by the volume name
// namedVolume asks for, while it is held; null for none.
HANDLE namedFolder;
DWORD namedVolume;
WCHAR namedFinal[finalCapacity];

// The user's and all users' desktop folders as the system reports them;
// empty where it reports none.
WCHAR desktops[2][pathCapacity];
// A volume by its DOS name, or where it has none the system can give (some
// RAM disks and user-mode file systems), by its NT name.
constexpr DWORD volumeNames[] = {VOLUME_NAME_DOS, VOLUME_NAME_NT};
bool desktopsRead;

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
        bool link = false;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            HANDLE folder = CreateFileW(path, FILE_READ_ATTRIBUTES, anySharing, nullptr, OPEN_EXISTING,
                                        openFolderFlags, nullptr);
            link = folder == INVALID_HANDLE_VALUE || reparseIsLink(folder);
            if (folder != INVALID_HANDLE_VALUE)
                CloseHandle(folder);
        }
        path[at] = kept;
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return verdictForError(error);
        if (link)
            return FolderVerdict::linked;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return FolderVerdict::missing;
        if (kept == L'\0')
            return FolderVerdict::usable;
    }
}

} // namespace

int folderRootEnd(const WCHAR* path)
{
    if (!desktopsRead) {
        desktopsRead = true;
        SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktops[0]);
        SHGetFolderPathW(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktops[1]);
    }
    const int pathLength = lstrlenW(path);
    for (const WCHAR* desktop : desktops) {
        const int length = lstrlenW(desktop);
        if (firstFolderStart(desktop) < length && pathLength >= length &&
            CompareStringOrdinal(path, length, desktop, length, TRUE) == CSTR_EQUAL &&
            (path[length] == L'\0' || path[length] == separator))
            return path[length] == separator ? length + 1 : length;
    }
    return firstFolderStart(path);
}

namespace {

// The held handle is a folder, not a link (unless it is the root, which is
// whatever it is linked as), and the one path names.
FolderVerdict checkHeldIsPath(HANDLE held, const WCHAR* path, bool isRoot)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(held, &info))
        return FolderVerdict::unreadable;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (!isRoot && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && reparseIsLink(held)))
        return FolderVerdict::linked;
    return reachedVerdict(held, path);
}

// The handle's final path without a trailing backslash into final
// (finalCapacity characters), its volume named as volumeName says:
// "\\?\C:\x" or "\\?\UNC\server\share\x" by its DOS name, "\Device\...\x" by
// its NT name. False when the system would not say.
bool readFinalPath(HANDLE handle, WCHAR* final, DWORD volumeName)
{
    const DWORD length = GetFinalPathNameByHandleW(handle, final, finalCapacity, FILE_NAME_NORMALIZED | volumeName);
    if (length == 0 || length >= DWORD(finalCapacity))
        return false;
    if (final[length - 1] == separator)
        final[length - 1] = L'\0';
    return true;
}

} // namespace

bool reparseIsLink(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO info;
    return !GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info) ||
           isLinkTag(info.ReparseTag);
}

FolderVerdict reachedVerdict(HANDLE handle, const WCHAR* path)
{
    WCHAR named[pathCapacity];
    // Short names expanded; nothing is resolved, a link keeps its own name.
    DWORD length = GetLongPathNameW(path, named, pathCapacity);
    const int rootLength = length > 0 && length < DWORD(pathCapacity) ? folderRootEnd(named) : 0;
    if (rootLength == 0)
        return FolderVerdict::unreadable;
    if (length > DWORD(rootLength) && named[length - 1] == separator)
        named[length - 1] = L'\0';
    // The root as it is mounted: its own final path, such as "\\?\C:\Books"
    // for a drive substituted for that folder. Both final paths carry the
    // same prefix: the volume's DOS name, or where it has none the system
    // can give (some RAM disks and user-mode file systems), its NT name.
    const WCHAR below = named[rootLength];
    named[rootLength] = L'\0';
    HANDLE root = CreateFileW(named, FILE_READ_ATTRIBUTES, anySharing, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    named[rootLength] = below;
    bool read = false;
    for (DWORD volumeName : volumeNames)
        read = read || (root != INVALID_HANDLE_VALUE && readFinalPath(root, expected, volumeName) &&
                        readFinalPath(handle, reached, volumeName));
    if (root != INVALID_HANDLE_VALUE)
        CloseHandle(root);
    if (!read)
        return FolderVerdict::unreadable;
    // Then the names below the root.
    if (below != L'\0')
        appendPathName(expected, finalCapacity + pathCapacity, named + rootLength);
    return CompareStringOrdinal(expected, -1, reached, -1, TRUE) == CSTR_EQUAL ? FolderVerdict::usable
                                                                             : FolderVerdict::linked;
}

bool isNamedInFolder(HANDLE file, HANDLE folder, const WCHAR* path)
{
    const WCHAR* name = path + lstrlenW(path);
    while (name > path && name[-1] != separator)
        --name;
    bool read = false;
    for (int i = 0; i < 2 && !read; i++) {
        // The held folder cannot move: its final path is asked for once.
        const DWORD volumeName = volumeNames[i];
        if (folder != namedFolder || volumeName != namedVolume) {
            namedFolder = readFinalPath(folder, namedFinal, volumeName) ? folder : nullptr;
            namedVolume = volumeName;
        }
        read = namedFolder == folder && readFinalPath(file, reached, volumeName);
    }
    lstrcpyW(expected, namedFinal);
    return read && *name && appendPathName(expected, finalCapacity + pathCapacity, name) &&
           CompareStringOrdinal(expected, -1, reached, -1, TRUE) == CSTR_EQUAL;
}

FolderVerdict holdFolder(const WCHAR* folder, HANDLE& held, DWORD access)
{
    held = INVALID_HANDLE_VALUE;
    WCHAR path[pathCapacity];
    int length = boundedLength(folder, pathCapacity);
    const int start = length == pathCapacity ? 0 : folderRootEnd(folder);
    if (length == pathCapacity || start == 0)
        return FolderVerdict::unreadable;
    lstrcpynW(path, folder, pathCapacity);
    // The root keeps its backslash; any other folder is named without one.
    if (length > start && path[length - 1] == separator)
        path[--length] = L'\0';

    FolderVerdict verdict = checkEveryFolder(path, start);
    if (verdict != FolderVerdict::usable)
        return verdict;
    // A root is opened as whatever it is linked to; any other folder as itself.
    const bool isRoot = start >= length;
    HANDLE handle = CreateFileW(path, heldAccess | access, heldSharing, nullptr, OPEN_EXISTING,
                                isRoot ? FILE_FLAG_BACKUP_SEMANTICS : openFolderFlags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return verdictForError(GetLastError());
    verdict = checkHeldIsPath(handle, path, isRoot);
    if (verdict == FolderVerdict::usable)
        held = handle;
    else
        CloseHandle(handle);
    return verdict;
}

FolderVerdict holdFolderLogged(const WCHAR* folder, HANDLE& held, DWORD access)
{
    const FolderVerdict verdict = holdFolder(folder, held, access);
    if (verdict == FolderVerdict::linked || verdict == FolderVerdict::unreadable)
        logAction("folder refused", folder,
                  verdict == FolderVerdict::linked ? "reached through a link" : "cannot be checked");
    return verdict;
}

void releaseFolder(HANDLE& held)
{
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    if (held == namedFolder)
        namedFolder = nullptr;   // its handle's value may name another folder next
    held = INVALID_HANDLE_VALUE;
}

bool isSameFolder(const WCHAR* first, const WCHAR* second)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const WCHAR* folders[2] = {first, second};
    for (int i = 0; i < 2; i++) {
        HANDLE folder = CreateFileW(folders[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (folder == INVALID_HANDLE_VALUE)
            return false;
        const BOOL read = GetFileInformationByHandle(folder, &info[i]);
        CloseHandle(folder);
        if (!read)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

FolderRemoval removeHeldFolder(const WCHAR* folder)
{
    HANDLE held;
    const FolderVerdict verdict = holdFolderLogged(folder, held, DELETE);
    if (verdict != FolderVerdict::usable)
        return verdict == FolderVerdict::missing  ? FolderRemoval::missing
               : verdict == FolderVerdict::linked ? FolderRemoval::refused
                                                  : FolderRemoval::failed;
    // Deleted through the handle that was checked. A folder that is not
    // empty refuses.
    const bool marked = deleteThrough(held);
    const DWORD error = GetLastError();
    releaseFolder(held);
    if (!marked && error == ERROR_DIR_NOT_EMPTY)
        return FolderRemoval::notEmpty;
    SetLastError(error);
    logOutcome("folder removed", folder, marked);
    return marked ? FolderRemoval::removed : FolderRemoval::failed;
}
