// The install that the uninstall key names: where the pages page proposes to
// update it, and the one a run into another folder replaces.
#include "earlier_install.h"

#include "folder_chain.h"
#include "path_text.h"
#include "product.h"
#include "removal.h"

bool readEarlierUninstaller(WCHAR* exePath, WCHAR* folder)
{
    if (!readRecordedUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath))
        return false;
    lstrcpyW(folder, exePath);
    const int folderLength = cutLastName(folder);
    WCHAR name[pathCapacity];
    // Only a path to the book's own uninstaller names an install of the book.
    if (folderLength < 2 || !writeNameAt(name, 0, uninstallerFileName, "") ||
        CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, exePath + folderLength + 1, -1, name, -1) != CSTR_EQUAL)
        return false;
    return isFolder(folder);
}

bool isEarlierInstallFolder(const WCHAR* folder)
{
    WCHAR exePath[pathCapacity];
    WCHAR earlierFolder[pathCapacity];
    return readEarlierUninstaller(exePath, earlierFolder) && isSameFolder(earlierFolder, folder);
}
