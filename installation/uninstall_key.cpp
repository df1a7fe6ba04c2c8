// The Add/Remove Programs entry: deleted only when it names this uninstaller, so a
// copy elsewhere never unregisters another install.
#include "removal.h"

#include "install_log.h"
#include "product.h"

static const WCHAR uninstallValueName[] = L"UninstallString";

bool readRecordedUninstaller(HKEY root, const char* keyPath, WCHAR* exePath)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    WCHAR recorded[pathCapacity];
    DWORD type = 0;
    DWORD size = sizeof recorded - sizeof(WCHAR);
    LONG result = RegQueryValueExW(key, uninstallValueName, nullptr, &type, reinterpret_cast<BYTE*>(recorded), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && unquoteUninstaller(type, recorded, size, exePath);
}

bool unquoteUninstaller(DWORD type, WCHAR* recorded, DWORD size, WCHAR* exePath)
{
    if (type != REG_SZ || size > (pathCapacity - 1) * sizeof(WCHAR))
        return false;
    recorded[size / sizeof(WCHAR)] = L'\0';   // the stored value need not end in a NUL
    // The install quotes the path, which holds spaces; an unquoted path is read as it is.
    WCHAR* path = recorded;
    if (path[0] == L'"') {
        ++path;
        WCHAR* end = path;
        while (*end && *end != L'"')
            ++end;
        if (*end != L'"')
            return false;
        *end = L'\0';
    }
    lstrcpyW(exePath, path);
    return true;
}

bool isUninstallerPath(const WCHAR* path)
{
    static const WCHAR separatedName[] = L"\\" TOLM_UNINSTALLER_FILE;
    const int folderLength = lstrlenW(path) - (sizeof separatedName / sizeof *separatedName - 1);
    return folderLength > 1 && CompareStringOrdinal(path + folderLength, -1, separatedName, -1, TRUE) == CSTR_EQUAL;
}

bool keyNamesUninstaller(HKEY root, const char* keyPath, const WCHAR* exePath)
{
    WCHAR recorded[pathCapacity];
    return readRecordedUninstaller(root, keyPath, recorded) && samePath(recorded, exePath);
}

void removeUninstallKey(HKEY root, const char* keyPath, const WCHAR* exePath, RemovalReport& report)
{
    if (!keyNamesUninstaller(root, keyPath, exePath))
        return;
    const LONG status = RegDeleteKeyA(root, keyPath);
    // A key path longer than a path buffer is named cut short rather than not at all.
    WCHAR wideKeyPath[pathCapacity];
    widenAscii(wideKeyPath, pathCapacity, keyPath);
    SetLastError(DWORD(status));
    logOutcome("key removed", wideKeyPath, status == ERROR_SUCCESS);
    if (status != ERROR_SUCCESS)
        noteFailure(report, wideKeyPath);
}

void uninstallKeyName(WCHAR* name)
{
    widenAscii(name, pathCapacity, "HKEY_LOCAL_MACHINE\\");
    appendAscii(name, pathCapacity, uninstallKeyPath);
}

void logKeyResult(const char* action, LONG status)
{
    WCHAR key[pathCapacity];
    uninstallKeyName(key);
    SetLastError(DWORD(status));
    logOutcome(action, key, status == ERROR_SUCCESS);
}
