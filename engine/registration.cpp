// Uninstall registration under HKEY_LOCAL_MACHINE.
#include "registration.h"

#include <windows.h>

#include "product.h"
#include "settings.h"

namespace {

constexpr char uninstallStringValue[] = "UninstallString";
constexpr char displayNameValue[] = "DisplayName";
// Quoted, so that a path with spaces cannot be read as a shorter program path
// followed by arguments.
constexpr char quotedFormat[] = "\"%s\"";
constexpr int quotedCapacity = pathCapacity + 2;

bool setString(HKEY key, const char* name, const char* text, int length)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(length) + 1) ==
           ERROR_SUCCESS;
}

} // namespace

bool registerUninstaller(const char* uninstallerPath)
{
    char quoted[quotedCapacity];
    if (lstrlenA(uninstallerPath) >= pathCapacity)
        return false;
    const int quotedLength = wsprintfA(quoted, quotedFormat, uninstallerPath);

    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, const_cast<char*>(uninstallKeyClass), 0,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    const bool written = setString(key, uninstallStringValue, quoted, quotedLength) &&
                         setString(key, displayNameValue, productName, sizeof productName - 1);
    RegCloseKey(key);
    return written;
}

void removeUninstallRegistration()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKeyPath);
}
