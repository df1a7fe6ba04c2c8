// Renaming and deleting only plain files, through the handle that showed
// them to be plain: a link, a junction or a folder at a book file's name is
// not the book's, and acting on it could reach something else entirely. A
// file that is a reparse point of another kind (deduplicated, compressed, a
// cloud file) is a plain file like any other.
#include "safe_folder.h"

#include "install_log.h"
#include "path_text.h"

namespace {

// Others may go on reading, writing and deleting: the same sharing as
// DeleteFileW and MoveFileW, so a file another program holds fails the same way.
constexpr DWORD anySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Windows 10's extended delete, newer than the headers' target: class 21
// takes a DWORD of flags (FILE_DISPOSITION_INFO_EX).
constexpr FILE_INFO_BY_HANDLE_CLASS dispositionInfoEx = FILE_INFO_BY_HANDLE_CLASS(21);
constexpr DWORD dispositionDelete = 0x1;
constexpr DWORD dispositionPosixSemantics = 0x2;

// The rename request with room for a whole path after it.
struct RenameRequest {
    FILE_RENAME_INFO info;
    WCHAR rest[pathCapacity];
};

} // namespace

HANDLE openFileAt(HANDLE folder, const WCHAR* path, DWORD access, FileKind& kind)
{
    kind = FileKind::absent;
    HANDLE file = CreateFileW(path, access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, anySharing, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            kind = FileKind::other;
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    // The attributes and the reparse tag in one query: under Wine the full
    // file information costs many times more, for each of a book's files.
    FILE_ATTRIBUTE_TAG_INFO info;
    kind = GetFileInformationByHandleEx(file, FileAttributeTagInfo, &info, sizeof info) &&
                   !(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                   !((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkTag(info.ReparseTag)) &&
                   isNamedInFolder(file, folder, path)
               ? FileKind::plain
               : FileKind::other;
    return file;
}

namespace {

// The plain file at path, opened to be deleted or renamed; otherwise
// INVALID_HANDLE_VALUE, with outcome saying whether something is there that
// could not be opened (failed), something that is not a plain file (left,
// and logged with its reason), or nothing at all (untouched).
HANDLE openPlainToChange(HANDLE folder, const WCHAR* path, FileCheck isOurs, FileOutcome& outcome)
{
    FileKind kind;
    HANDLE file = openFileAt(folder, path, DELETE | (isOurs ? FILE_READ_DATA : 0), kind);
    outcome = kind == FileKind::absent ? FileOutcome::untouched
              : file == INVALID_HANDLE_VALUE ? FileOutcome::failed
                                             : FileOutcome::left;
    const char* reason = kind != FileKind::plain                     ? "a folder or a link"
                         : isOurs && file != INVALID_HANDLE_VALUE && !isOurs(file, path) ? "not the book's file"
                                                                                           : nullptr;
    if (file != INVALID_HANDLE_VALUE && reason) {
        logAction("left as it is", path, reason);
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
    return file;
}

// Closes file after a change, keeping the error that the change left.
FileOutcome closeAfter(HANDLE file, bool changed)
{
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return changed ? FileOutcome::done : FileOutcome::failed;
}

} // namespace

FileKind fileKindAt(HANDLE folder, const WCHAR* path)
{
    FileKind kind;
    HANDLE file = openFileAt(folder, path, 0, kind);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return kind;
}

bool deleteThrough(HANDLE handle)
{
    // With POSIX semantics the name goes at once, even while another program
    // (an indexer, a scanner) holds the file with delete sharing, so that
    // its folder can go too. Where the system or the file system has none,
    // the classic mark: the name goes with the last handle.
    DWORD posix = dispositionDelete | dispositionPosixSemantics;
    FILE_DISPOSITION_INFO classic;
    classic.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, dispositionInfoEx, &posix, sizeof posix) ||
           SetFileInformationByHandle(handle, FileDispositionInfo, &classic, sizeof classic);
}

FileOutcome deletePlainFile(HANDLE folder, const WCHAR* path, FileCheck isOurs)
{
    FileOutcome outcome;
    HANDLE file = openPlainToChange(folder, path, isOurs, outcome);
    if (file == INVALID_HANDLE_VALUE)
        return outcome;
    return closeAfter(file, deleteThrough(file));
}

bool renameOpenFile(HANDLE file, const WCHAR* to, bool replace)
{
    static RenameRequest request;
    const int length = boundedLength(to, pathCapacity);
    if (length == pathCapacity)
        return false;
    request.info.ReplaceIfExists = replace;
    request.info.RootDirectory = nullptr;
    request.info.FileNameLength = DWORD(length) * sizeof(WCHAR);
    lstrcpyW(request.info.FileName, to);
    return SetFileInformationByHandle(file, FileRenameInfo, &request, sizeof request);
}

FileOutcome movePlainFile(HANDLE folder, const WCHAR* from, const WCHAR* to, bool replace)
{
    FileOutcome outcome;
    HANDLE file = openPlainToChange(folder, from, nullptr, outcome);
    if (file == INVALID_HANDLE_VALUE)
        return outcome;
    return closeAfter(file, renameOpenFile(file, to, replace));
}

HANDLE createBookFile(const WCHAR* path)
{
    return CreateFileW(path, GENERIC_WRITE, 0, const_cast<SECURITY_ATTRIBUTES*>(&protectedAttributes), CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}
