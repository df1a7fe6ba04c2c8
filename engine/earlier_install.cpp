// The install that the uninstall key names: where the pages page proposes to
// update it, and what goes once a new install elsewhere has replaced it.
#include "earlier_install.h"

#include "folder_chain.h"
#include "install_log.h"
#include "path_text.h"
#include "product.h"
#include "removal.h"

namespace {

// True when both name the same folder on disk, whatever the spelling: a short
// name, another case or a trailing backslash must never make one install look
// like another.
bool isSameFolder(const WCHAR* first, const WCHAR* second)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const WCHAR* folders[2] = {first, second};
    for (int i = 0; i < 2; i++) {
        HANDLE folder = CreateFileW(folders[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (folder == INVALID_HANDLE_VALUE)
            return false;
        const BOOL read = GetFileInformationByHandle(folder, &info[i]);
        CloseHandle(folder);
        if (!read)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

} // namespace

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

void removeEarlierInstall(const WCHAR* exePath, const WCHAR* folder, const WCHAR* newFolder)
{
    if (!isFolder(folder) || isSameFolder(folder, newFolder))
        return;
    // Its key now names the new install, and its links point elsewhere than
    // the new ones, so only the earlier install's own things go.
    logAction("earlier install removed", folder, "");
    static RemovalReport report;
    report.length = 0;
    report.unlisted = 0;
    removeInstalledBook(exePath, SelfRemoval::now, report);
}
