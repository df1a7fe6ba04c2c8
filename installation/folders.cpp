// Removing the emptied folder chain, within the bound the install could have used.
#include "removal.h"

#include "product.h"
#include "safe_folder.h"

void removeEmptyFolders(const WCHAR* folder, const WCHAR* boundary, RemovalReport& report)
{
    WCHAR path[pathCapacity];
    if (lstrlenW(folder) >= pathCapacity)
        return;
    lstrcpyW(path, folder);
    // A trailing backslash would make the first cut remove nothing.
    int length = lstrlenW(path);
    if (length > 0 && path[length - 1] == L'\\')
        path[length - 1] = L'\0';
    while (isBelowFolder(path, boundary)) {
        switch (removeHeldFolder(path)) {
        case FolderRemoval::removed:
        case FolderRemoval::missing:
            break;
        case FolderRemoval::failed:
            noteFailure(report, path);
            return;
        default:
            // A folder that still holds something is the user's, and one
            // reached through a link is not ours: it stays.
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
