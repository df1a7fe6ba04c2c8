// The destinations' defaults, proposed from the system: the install the
// uninstall key names, or a folder below the Program Files directory, for the
// pages; a folder below the desktop directory for the icon. The pages of the
// wizard propose them when first shown, and a silent install takes them as
// they are. A destination the command line gave is left alone.
#include "destination_defaults.h"

#include <shlobj.h>

#include "earlier_install.h"
#include "folder_chain.h"
#include "path_text.h"
#include "product.h"
#include "settings.h"

namespace {

// Used when the Program Files directory cannot be read (or would not fit).
constexpr WCHAR fallbackProgramFiles[] = L"C:\\";
constexpr WCHAR separator = L'\\';

bool endsInSeparator(const WCHAR* text, int length)
{
    return length > 0 && text[length - 1] == separator;
}

// Reads the Program Files directory into buffer (pathCapacity characters).
// Returns its length, or -1 when the key does not open with full access, the
// value is missing, longer than the buffer, or stored without a terminator
// that fits.
int readProgramFilesDir(WCHAR* buffer)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, programFilesKeyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return -1;
    DWORD type = REG_SZ;
    DWORD size = pathCapacity * sizeof(WCHAR);   // bytes
    const LONG status = RegQueryValueExW(key, programFilesValueName, nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return -1;
    const DWORD characters = size / sizeof(WCHAR);
    if (characters < static_cast<DWORD>(pathCapacity))
        buffer[characters] = L'\0';
    else if (buffer[pathCapacity - 1] != L'\0')
        return -1;
    return lstrlenW(buffer);
}

// Reads the desktop directory into buffer (MAX_PATH characters); returns its
// length, or -1 when the shell cannot name it.
int readDesktopDirectory(HWND owner, WCHAR* buffer)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)))
        return -1;
    int length = -1;
    LPITEMIDLIST item = nullptr;
    if (SHGetSpecialFolderLocation(owner, CSIDL_DESKTOPDIRECTORY, &item) == S_OK) {
        if (SHGetPathFromIDListW(item, buffer))
            length = lstrlenW(buffer);
        allocator->Free(item);
    }
    allocator->Release();
    return length;
}

} // namespace

// The folder of the install the uninstall key names; otherwise the default
// below the Program Files directory. existingLength stops before the separator
// added here. A directory that is empty, unreadable, or too long to take the
// default folder name falls back to drive C:.
void initPagesDestination()
{
    if (installSettings.pagesGiven)
        return;
    DestinationPath& destination = installSettings.pagesDestination;
    const int chainLength = boundedLength(destination.newFolder, chainCapacity - 1);
    destination.newFolder[chainLength] = L'\0';

    // An install that the uninstall key names is updated where it is.
    WCHAR earlierUninstaller[pathCapacity];
    if (readEarlierUninstaller(earlierUninstaller, destination.path)) {
        destination.existingLength = lstrlenW(destination.path);
        destination.newFolder[0] = L'\0';
        return;
    }

    WCHAR base[pathCapacity];
    int baseLength = readProgramFilesDir(base);
    int sep = endsInSeparator(base, baseLength) ? 0 : 1;
    if (baseLength <= 0 || baseLength + sep + chainLength >= pathCapacity) {
        lstrcpyW(base, fallbackProgramFiles);
        baseLength = lstrlenW(base);
        sep = 0;
    }
    lstrcpyW(destination.path, base);
    if (sep)
        destination.path[baseLength] = separator;
    lstrcpyW(destination.path + baseLength + sep, destination.newFolder);
    destination.existingLength = baseLength;

    if (isFolder(destination.path)) {
        destination.existingLength = lstrlenW(destination.path);
        destination.newFolder[0] = L'\0';
    }
}

// The default below the desktop directory. existingLength and
// desktopBaseLength include the desktop's trailing backslash. Without a usable
// desktop directory (none, empty, or too long to take the default folder
// name) the built-in path and desktopBaseLength stay.
void initIconDestination(HWND owner)
{
    if (installSettings.iconsGiven)
        return;
    DestinationPath& destination = installSettings.iconDestination;
    const int chainLength = boundedLength(destination.newFolder, chainCapacity - 1);
    destination.newFolder[chainLength] = L'\0';

    WCHAR desktop[MAX_PATH];
    const int desktopLength = readDesktopDirectory(owner, desktop);
    const int sep = endsInSeparator(desktop, desktopLength) ? 0 : 1;
    if (desktopLength > 0 && desktopLength + sep + chainLength < pathCapacity) {
        lstrcpyW(destination.path, desktop);
        if (sep)
            destination.path[desktopLength] = separator;
        installSettings.desktopBaseLength = desktopLength + sep;
    }
    // Both the built-in prefix and an accepted desktop leave room for the chain.
    const int existing = installSettings.desktopBaseLength;
    destination.existingLength = existing;
    lstrcpyW(destination.path + existing, destination.newFolder);

    if (isFolder(destination.path)) {
        destination.existingLength += chainLength;
        destination.newFolder[0] = L'\0';
    }
}
