// The book's files in its folder: only names from the built-in lists are touched.
#include "uninstall.h"

// Composes folder\name+suffix into path; false when it would not fit.
static bool composeFilePath(char* path, const char* folder, const char* name, const char* suffix)
{
    path[0] = '\0';
    if (lstrlenA(folder) >= pathCapacity)
        return false;
    lstrcpyA(path, folder);
    int length = appendPathName(path, pathCapacity, name);
    if (length == 0 || length + lstrlenA(suffix) >= pathCapacity)
        return false;
    lstrcpyA(path + length, suffix);
    return true;
}

static bool isPlainFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool anyListedFilePresent(const char* folder, const char* names, const char* suffix)
{
    char path[pathCapacity];
    for (const char* name = names; *name; name += lstrlenA(name) + 1)
        if (composeFilePath(path, folder, name, suffix) && isPlainFile(path))
            return true;
    return false;
}

void removeListedFiles(const char* folder, const char* names, const char* suffix, RemovalReport& report)
{
    char path[pathCapacity];
    for (const char* name = names; *name; name += lstrlenA(name) + 1) {
        // A path too long to compose cannot have been installed either.
        if (!composeFilePath(path, folder, name, suffix) || !isPlainFile(path))
            continue;
        if (!DeleteFileA(path) && GetLastError() != ERROR_FILE_NOT_FOUND)
            noteFailure(report, path);
    }
}
