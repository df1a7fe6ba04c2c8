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

// The rename request with room for a whole path after it.
struct RenameRequest {
    FILE_RENAME_INFO info;
    WCHAR rest[pathCapacity];
};

// Opens what is at path, never following a link, with access added to what
// reading its attributes needs; kind says what it is. INVALID_HANDLE_VALUE
// when nothing is there (absent: its folder was found without it), or when
// something is there that cannot be opened with that access, such as a file
// another program holds, or its folder cannot be reached (other).
HANDLE openWithoutFollowing(const WCHAR* path, DWORD access, FileKind& kind)
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
    BY_HANDLE_FILE_INFORMATION info;
    kind = GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                   !((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && reparseIsLink(file))
               ? FileKind::plain
               : FileKind::other;
    return file;
}

// The plain file at path, opened to be deleted or renamed; otherwise
// INVALID_HANDLE_VALUE, with outcome saying whether something is there that
// could not be opened (failed), something that is not a plain file (left,
// and logged with its reason), or nothing at all (untouched).
HANDLE openPlainToChange(const WCHAR* path, FileOutcome& outcome)
{
    FileKind kind;
    HANDLE file = openWithoutFollowing(path, DELETE, kind);
    outcome = kind == FileKind::absent ? FileOutcome::untouched
              : file == INVALID_HANDLE_VALUE ? FileOutcome::failed
                                             : FileOutcome::left;
    if (file != INVALID_HANDLE_VALUE && kind != FileKind::plain) {
        logAction("left as it is", path, "a folder or a link");
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

FileKind fileKindAt(const WCHAR* path)
{
    FileKind kind;
    HANDLE file = openWithoutFollowing(path, 0, kind);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return kind;
}

FileOutcome deletePlainFile(const WCHAR* path)
{
    FileOutcome outcome;
    HANDLE file = openPlainToChange(path, outcome);
    if (file == INVALID_HANDLE_VALUE)
        return outcome;
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    return closeAfter(file, SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition));
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

FileOutcome movePlainFile(const WCHAR* from, const WCHAR* to, bool replace)
{
    FileOutcome outcome;
    HANDLE file = openPlainToChange(from, outcome);
    if (file == INVALID_HANDLE_VALUE)
        return outcome;
    return closeAfter(file, renameOpenFile(file, to, replace));
}

HANDLE createBookFile(const WCHAR* path)
{
    return CreateFileW(path, GENERIC_WRITE, 0, const_cast<SECURITY_ATTRIBUTES*>(&protectedAttributes), CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}
