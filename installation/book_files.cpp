// The book's files in its folder: only names from the built-in lists are touched.
#include "removal.h"

#include "install_log.h"
#include "path_text.h"
#include "safe_folder.h"

// Composes folder\name+suffix into path; false when it would not fit. The
// listed names are ASCII and widened here; the folder may hold any letters.
static bool composeFilePath(WCHAR* path, const WCHAR* folder, const char* name, const char* suffix)
{
    path[0] = L'\0';
    if (lstrlenW(folder) >= pathCapacity)
        return false;
    lstrcpyW(path, folder);
    const int nameStart = appendPathName(path, pathCapacity, L"");   // the separator only
    return nameStart != 0 && writeNameAt(path, nameStart, name, suffix);
}

static bool isPlainFile(const WCHAR* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool anyListedFilePresent(const WCHAR* folder, const char* names, const char* suffix)
{
    WCHAR path[pathCapacity];
    for (const char* name = names; *name; name += lstrlenA(name) + 1)
        if (composeFilePath(path, folder, name, suffix) && isPlainFile(path))
            return true;
    return false;
}

void removeListedFiles(const WCHAR* folder, const char* names, const char* suffix, RemovalReport& report)
{
    WCHAR path[pathCapacity];
    for (const char* name = names; *name; name += lstrlenA(name) + 1) {
        // A path too long to compose cannot have been installed either.
        if (!composeFilePath(path, folder, name, suffix))
            continue;
        // Only plain files go: a folder or a link of a book file's name is not the book's.
        const FileOutcome outcome = deletePlainFile(path);
        if (actedOn(outcome))
            logOutcome("file removed", path, outcome == FileOutcome::done);
        if (outcome == FileOutcome::failed)
            noteFailure(report, path);
        report.kept += outcome == FileOutcome::left;
    }
}
