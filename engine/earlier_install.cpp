// The install that the uninstall key names: where the pages page proposes to
// update it, and the one a run into another folder replaces.
#include "earlier_install.h"

#include "folder_chain.h"
#include "path_text.h"
#include "product.h"
#include "removal.h"
#include "safe_folder.h"

bool readEarlierUninstaller(WCHAR* exePath, WCHAR* folder)
{
    // Only a path to the book's own uninstaller names an install of the book.
    if (!readRecordedUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath) || !isUninstallerPath(exePath))
        return false;
    lstrcpyW(folder, exePath);
    cutToFolder(folder);
    return isFolder(folder);
}

bool isEarlierInstallFolder(const WCHAR* folder)
{
    WCHAR exePath[pathCapacity];
    WCHAR earlierFolder[pathCapacity];
    return readEarlierUninstaller(exePath, earlierFolder) && isSameFolder(earlierFolder, folder);
}
