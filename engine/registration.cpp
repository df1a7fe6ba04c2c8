// Uninstall registration under HKEY_LOCAL_MACHINE: the entry Add/Remove
// Programs lists, complete enough for tools that uninstall unattended.
#include "registration.h"

#include "install_log.h"
#include "install_record.h"
#include "product.h"
#include "removal.h"
#include "settings.h"

namespace {

// Quoted, so that a path with spaces cannot be read as a shorter program path
// followed by arguments.
constexpr WCHAR quotedFormat[] = L"\"%s\"";
constexpr WCHAR quietFormat[] = L"\"%s\" /S";
constexpr WCHAR iconFormat[] = L"%s,0";
constexpr WCHAR displayName[] = L"" TOLM_PRODUCT_NAME;
constexpr WCHAR displayVersion[] = L"" TOLM_DISPLAY_VERSION;
constexpr WCHAR publisher[] = L"" TOLM_PUBLISHER;
constexpr int textCapacity = pathCapacity + 8;           // a quoted path with " /S"
constexpr int logSubjectCapacity = 32 + 3 + textCapacity + 16;

enum RegisteredValue {
    uninstallString, quietUninstallString, displayNameValue, displayIcon, displayVersionValue,
    publisherValue, installLocation, noModify, noRepair, estimatedSize, installFolders,
};

HKEY openKey()
{
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, const_cast<char*>(uninstallKeyClass), 0,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Sets one value and logs it as "name = data".
bool setValue(HKEY key, RegisteredValue value, DWORD type, const void* data, DWORD size, const WCHAR* shown)
{
    WCHAR name[valueNameCapacity];
    widenAscii(name, valueNameCapacity, registeredValueNames[value]);
    const LONG status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    WCHAR subject[logSubjectCapacity];
    wsprintfW(subject, L"%s = %s", name, shown);
    SetLastError(DWORD(status));
    logOutcome("value set", subject, status == ERROR_SUCCESS);
    return status == ERROR_SUCCESS;
}

bool setText(HKEY key, RegisteredValue value, const WCHAR* text)
{
    return setValue(key, value, REG_SZ, text, DWORD(lstrlenW(text) + 1) * sizeof(WCHAR), text);
}

bool setNumber(HKEY key, RegisteredValue value, DWORD number)
{
    WCHAR shown[16];
    wsprintfW(shown, L"%lu", static_cast<unsigned long>(number));
    return setValue(key, value, REG_DWORD, &number, sizeof number, shown);
}

} // namespace

const char* const registeredValueNames[registeredValueCount] = {
    "UninstallString", "QuietUninstallString", "DisplayName", "DisplayIcon", "DisplayVersion",
    "Publisher", "InstallLocation", "NoModify", "NoRepair", "EstimatedSize", keptFoldersName,
};

bool registerUninstaller(const WCHAR* uninstallerPath)
{
    const int length = lstrlenW(uninstallerPath);
    if (length >= pathCapacity)
        return false;
    WCHAR quoted[textCapacity];
    WCHAR quiet[textCapacity];
    WCHAR icon[textCapacity];
    WCHAR folder[pathCapacity];
    wsprintfW(quoted, quotedFormat, uninstallerPath);
    wsprintfW(quiet, quietFormat, uninstallerPath);
    wsprintfW(icon, iconFormat, uninstallerPath);
    lstrcpyW(folder, uninstallerPath);
    cutToFolder(folder);

    HKEY key = openKey();
    if (!key)
        return false;
    const bool written = setText(key, uninstallString, quoted) && setText(key, quietUninstallString, quiet) &&
                         setText(key, displayNameValue, displayName) && setText(key, displayIcon, icon) &&
                         setText(key, displayVersionValue, displayVersion) && setText(key, publisherValue, publisher) &&
                         setText(key, installLocation, folder) && setNumber(key, noModify, 1) &&
                         setNumber(key, noRepair, 1);
    RegCloseKey(key);
    return written;
}

bool registerInstalledSize(DWORD kilobytes)
{
    HKEY key = openKey();
    if (!key)
        return false;
    const bool written = setNumber(key, estimatedSize, kilobytes);
    RegCloseKey(key);
    return written;
}

bool registerKeptFolders(const KeptFolders& folders)
{
    static BYTE data[2 * sizeof(uint32_t) + pathCapacity * sizeof(WCHAR)];
    HKEY key = openKey();
    if (!key)
        return false;
    WCHAR shown[textCapacity + 16];
    wsprintfW(shown, L"%d %d %s", folders.pagesMade, folders.iconMade, folders.iconFolder);
    const bool written =
        setValue(key, installFolders, REG_BINARY, data, composeKeptFolders(folders, data), shown);
    RegCloseKey(key);
    return written;
}
