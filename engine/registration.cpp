// Uninstall registration under HKEY_LOCAL_MACHINE.
#include "registration.h"

#include "product.h"
#include "settings.h"

namespace {

constexpr char displayNameValue[] = "DisplayName";
constexpr WCHAR uninstallStringValue[] = L"UninstallString";
// Quoted, so that a path with spaces cannot be read as a shorter program path
// followed by arguments.
constexpr WCHAR quotedFormat[] = L"\"%s\"";
constexpr int quotedCapacity = pathCapacity + 2;

} // namespace

bool registerUninstaller(const WCHAR* uninstallerPath)
{
    WCHAR quoted[quotedCapacity];
    if (lstrlenW(uninstallerPath) >= pathCapacity)
        return false;
    const int quotedLength = wsprintfW(quoted, quotedFormat, uninstallerPath);

    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, const_cast<char*>(uninstallKeyClass), 0,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    // The registry holds every text in UTF-16: the ASCII name reads the same either way.
    const bool written =
        RegSetValueExW(key, uninstallStringValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(quoted),
                       DWORD(quotedLength + 1) * sizeof(WCHAR)) == ERROR_SUCCESS &&
        RegSetValueExA(key, displayNameValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(productName),
                       sizeof productName) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

void removeUninstallRegistration()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKeyPath);
}
