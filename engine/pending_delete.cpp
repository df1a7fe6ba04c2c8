// The system keeps the renames and deletes it makes at the next boot in one
// value: pairs of NUL-terminated paths in the "\??\" form, the source and then
// the target, which is empty for a delete. Cancelling a delete takes its pair
// out of the value, and leaves every other pair as it was.
#include "pending_delete.h"

#include "install_log.h"
#include "path_text.h"
#include "product.h"

namespace {

constexpr char sessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr WCHAR pendingValue[] = L"PendingFileRenameOperations";
constexpr WCHAR objectPrefix[] = L"\\??\\";
constexpr int prefixLength = 4;

// True when source names path, with or without the object prefix and a
// trailing backslash.
bool namesPath(const WCHAR* source, const WCHAR* path, int pathLength)
{
    if (CompareStringOrdinal(source, prefixLength, objectPrefix, prefixLength, FALSE) == CSTR_EQUAL)
        source += prefixLength;
    const int length = lstrlenW(source);
    const int compared = length > 0 && source[length - 1] == L'\\' ? length - 1 : length;
    return CompareStringOrdinal(source, compared, path, pathLength, TRUE) == CSTR_EQUAL;
}

// Drops from the count characters of pairs each delete of the two paths;
// returns the characters kept, the final empty string included. folderDropped
// is set when a delete of the folder was among them.
DWORD dropDeletes(WCHAR* pairs, DWORD count, const WCHAR* uninstaller, int folderLength, bool& folderDropped)
{
    DWORD kept = 0;
    DWORD at = 0;
    while (at < count && pairs[at] != L'\0') {
        const DWORD source = at;
        while (at < count && pairs[at] != L'\0')
            at++;
        const DWORD target = ++at;
        while (at < count && pairs[at] != L'\0')
            at++;
        if (at >= count)
            break;   // a pair cut short: kept as it is
        const DWORD end = ++at;
        const bool folderDelete = namesPath(pairs + source, uninstaller, folderLength);
        const bool cancelled = pairs[target] == L'\0' && (namesPath(pairs + source, uninstaller, -1) || folderDelete);
        if (cancelled) {
            folderDropped = folderDropped || folderDelete;
            logAction("delete at the next boot cancelled", pairs + source, "");
            continue;
        }
        for (DWORD i = source; i < end; i++)
            pairs[kept++] = pairs[i];
    }
    // Whatever follows the last whole pair stays.
    while (at < count)
        pairs[kept++] = pairs[at++];
    return kept;
}

} // namespace

bool cancelPendingDeletes(const WCHAR* folder)
{
    WCHAR uninstaller[pathCapacity];
    bool folderDropped = false;
    lstrcpyW(uninstaller, folder);
    const int folderLength = lstrlenW(uninstaller) - 1;   // without its backslash
    if (folderLength < 3 || !writeNameAt(uninstaller, folderLength + 1, uninstallerFileName, ""))
        return false;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    WCHAR* pairs = nullptr;
    if (RegQueryValueExW(key, pendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ &&
        (pairs = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, size + sizeof(WCHAR)))) != nullptr &&
        RegQueryValueExW(key, pendingValue, nullptr, &type, reinterpret_cast<BYTE*>(pairs), &size) == ERROR_SUCCESS) {
        const DWORD count = size / sizeof(WCHAR);
        const DWORD kept = dropDeletes(pairs, count, uninstaller, folderLength, folderDropped);
        if (kept != count) {
            const bool empty = kept == 0 || (kept == 1 && pairs[0] == L'\0');
            LONG status = empty ? RegDeleteValueW(key, pendingValue)
                                : RegSetValueExW(key, pendingValue, 0, REG_MULTI_SZ,
                                                 reinterpret_cast<const BYTE*>(pairs), kept * sizeof(WCHAR));
            if (status == ERROR_SUCCESS)
                status = RegFlushKey(key);
            SetLastError(DWORD(status));
            logOutcome("boot deletes rewritten", pendingValue, status == ERROR_SUCCESS);
        }
    }
    if (pairs)
        LocalFree(pairs);
    RegCloseKey(key);
    return folderDropped;
}
