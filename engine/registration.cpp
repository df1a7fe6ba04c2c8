// Uninstall registration under HKEY_LOCAL_MACHINE.
#include "registration.h"

#include "product.h"
#include "settings.h"

namespace {

// Quoted, so that a path with spaces cannot be read as a shorter program path
// followed by arguments.
constexpr WCHAR quotedFormat[] = L"\"%s\"";
constexpr int quotedCapacity = pathCapacity + 2;
constexpr WCHAR displayName[] = L"" TOLM_PRODUCT_NAME;

enum RegisteredValue { uninstallString, displayNameValue };

bool setText(HKEY key, RegisteredValue value, const WCHAR* text, int length)
{
    return RegSetValueExW(key, registeredValueNames[value], 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          DWORD(length + 1) * sizeof(WCHAR)) == ERROR_SUCCESS;
}

} // namespace

const WCHAR* const registeredValueNames[registeredValueCount] = {L"UninstallString", L"DisplayName"};

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
    const bool written = setText(key, uninstallString, quoted, quotedLength) &&
                         setText(key, displayNameValue, displayName, lstrlenW(displayName));
    RegCloseKey(key);
    return written;
}
