// Removing the emptied folder chain, within the bound the install could have used.
#include "uninstall.h"

#include "product.h"

void removeEmptyFolders(const char* folder, const char* boundary, RemovalReport& report)
{
    char path[pathCapacity];
    if (lstrlenA(folder) >= pathCapacity)
        return;
    lstrcpyA(path, folder);
    // A trailing backslash would make the first cut remove nothing.
    int length = lstrlenA(path);
    if (length > 0 && path[length - 1] == '\\')
        path[length - 1] = '\0';
    while (isBelowFolder(path, boundary)) {
        if (!RemoveDirectoryA(path)) {
            DWORD error = GetLastError();
            // A folder that still holds something is the user's: it stays, silently.
            if (error == ERROR_DIR_NOT_EMPTY)
                return;
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                noteFailure(report, path);
                return;
            }
        }
        if (cutLastName(path) == 0)
            return;
    }
}

bool readProgramFilesFolder(char* out, int capacity)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, programFilesKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = DWORD(capacity - 1);
    LONG result = RegQueryValueExA(key, programFilesValueNameA, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ || size == 0)
        return false;
    out[size] = '\0';   // the stored value need not end in a NUL
    return lstrlenA(out) > 0;
}
