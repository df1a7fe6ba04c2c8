// The uninstall key's values as they were before a run, and putting them back.
// Values are kept as raw bytes with their type, read and written through the
// wide forms, so that what comes back is exactly what was there.
#include "install_record.h"

#include <string.h>

#include "install_log.h"
#include "product.h"
#include "removal.h"

bool saveUninstallValues(InstallRecord& record, const char* const* names, int count)
{
    if (count > savedValueCount)
        return false;
    for (int i = 0; i < count; i++) {
        if (lstrlenA(names[i]) >= valueNameCapacity)
            return false;
    }
    HKEY key;
    record.keyExisted = RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
    bool kept = true;
    for (int i = 0; i < count && kept; i++) {
        SavedValue& value = record.values[i];
        widenAscii(value.name, valueNameCapacity, names[i]);
        value.existed = 0;
        value.size = 0;
        if (!record.keyExisted)
            continue;
        DWORD type = 0;
        DWORD size = valueDataCapacity;
        const LONG status = RegQueryValueExW(key, value.name, nullptr, &type, value.data, &size);
        if (status == ERROR_SUCCESS) {
            value.existed = 1;
            value.type = type;
            value.size = size;
        } else if (status != ERROR_FILE_NOT_FOUND) {
            // Larger than its slot, or unreadable: it must not be replaced,
            // and a rollback must not delete it as a value the run added.
            value.name[0] = L'\0';
            kept = false;
        }
    }
    if (record.keyExisted)
        RegCloseKey(key);
    return kept;
}

bool restoreUninstallValues(const InstallRecord& record)
{
    // Values that are as they were need nothing: a key this process may not
    // write is then no failure.
    bool changed = false;
    for (const SavedValue& value : record.values)
        changed = changed || (value.name[0] != L'\0' && !valueIsAsSaved(record, value.name));
    if (!changed)
        return true;
    HKEY key;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_SET_VALUE, &key);
    if (opened != ERROR_SUCCESS)
        return false;
    bool restored = true;
    for (const SavedValue& value : record.values) {
        if (value.name[0] == L'\0')
            continue;
        LONG status;
        if (value.existed)
            status = RegSetValueExW(key, value.name, 0, value.type, value.data, value.size);
        else if ((status = RegDeleteValueW(key, value.name)) == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
        SetLastError(DWORD(status));
        logOutcome(value.existed ? "value restored" : "value deleted", value.name, status == ERROR_SUCCESS);
        restored = restored && status == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return restored;
}

bool valueIsAsSaved(const InstallRecord& record, const WCHAR* name)
{
    for (const SavedValue& value : record.values) {
        if (value.name[0] == L'\0' || lstrcmpiW(value.name, name) != 0)
            continue;
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return !value.existed;
        static BYTE data[valueDataCapacity];
        DWORD type = 0;
        DWORD size = valueDataCapacity;
        const LONG status = RegQueryValueExW(key, value.name, nullptr, &type, data, &size);
        RegCloseKey(key);
        if (status == ERROR_FILE_NOT_FOUND)
            return !value.existed;
        return status == ERROR_SUCCESS && value.existed && type == value.type && size == value.size &&
               memcmp(data, value.data, size) == 0;
    }
    return false;
}

const SavedValue* savedValue(const InstallRecord& record, const char* name)
{
    WCHAR wide[valueNameCapacity];
    widenAscii(wide, valueNameCapacity, name);
    for (const SavedValue& value : record.values)
        if (value.existed && lstrcmpiW(value.name, wide) == 0)
            return &value;
    return nullptr;
}

bool savedUninstaller(const InstallRecord& record, WCHAR* exePath)
{
    const SavedValue* value = savedValue(record, "UninstallString");
    if (!value)
        return false;
    WCHAR recorded[pathCapacity];
    const DWORD size = value->size < sizeof recorded ? value->size : sizeof recorded;
    memcpy(recorded, value->data, size);
    return unquoteUninstaller(value->type, recorded, size, exePath);
}
