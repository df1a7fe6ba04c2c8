// The Add/Remove Programs entry: deleted only when it names this uninstaller, so a
// copy elsewhere never unregisters another install.
#include "uninstall.h"

static const char uninstallValueName[] = "UninstallString";

bool keyNamesUninstaller(HKEY root, const char* keyPath, const char* exePath)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char recorded[pathCapacity];
    DWORD type = 0;
    DWORD size = sizeof recorded - 1;
    LONG result = RegQueryValueExA(key, uninstallValueName, nullptr, &type, reinterpret_cast<BYTE*>(recorded), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return false;
    recorded[size] = '\0';   // the stored value need not end in a NUL
    // The install quotes the path, which holds spaces; an unquoted path is read as it is.
    char* path = recorded;
    if (path[0] == '"') {
        ++path;
        char* end = path;
        while (*end && *end != '"')
            ++end;
        if (*end != '"')
            return false;
        *end = '\0';
    }
    return samePath(path, exePath);
}

void removeUninstallKey(HKEY root, const char* keyPath, const char* exePath, RemovalReport& report)
{
    if (!keyNamesUninstaller(root, keyPath, exePath))
        return;
    if (RegDeleteKeyA(root, keyPath) != ERROR_SUCCESS)
        noteFailure(report, keyPath);
}
