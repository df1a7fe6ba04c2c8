// Removing the emptied folder chain: the folders the install made, or for
// an install that kept no record of them, those within the bound it could
// have used.
#include "removal.h"

#include "product.h"
#include "safe_folder.h"

void removeEmptyFolders(const WCHAR* folder, int count, const WCHAR* boundary, bool noteFirst,
                        RemovalReport& report)
{
    WCHAR path[pathCapacity];
    if (lstrlenW(folder) >= pathCapacity)
        return;
    lstrcpyW(path, folder);
    // A trailing backslash would make the first cut remove nothing.
    int length = lstrlenW(path);
    if (length > 0 && path[length - 1] == L'\\')
        path[length - 1] = L'\0';
    for (int step = 0; step < count && (!boundary || isBelowFolder(path, boundary)); step++) {
        switch (removeHeldFolder(path)) {
        case FolderRemoval::removed:
        case FolderRemoval::missing:
            break;
        case FolderRemoval::failed:
            noteFailure(report, path);
            return;
        case FolderRemoval::notEmpty:
            // Something that is not the book's is in it: it stays.
            if (step == 0 ? noteFirst : !boundary)
                noteFolderStays(report, path);
            return;
        default:
            // Reached through a link: what lies there is not ours, and stays.
            return;
        }
        if (cutLastName(path) == 0)
            return;
    }
}

bool readProgramFilesFolder(WCHAR* out, int capacity)
{
    if (capacity <= 1)
        return false;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, programFilesKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = DWORD(capacity - 1) * sizeof(WCHAR);
    LONG result = RegQueryValueExW(key, programFilesValueName, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return false;
    out[size / sizeof(WCHAR)] = L'\0';   // the stored value need not end in a NUL
    return lstrlenW(out) > 0;
}
