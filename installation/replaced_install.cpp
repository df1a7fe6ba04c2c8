// The earlier install that an install into another folder replaces: removed,
// once the key names the new one, as its own uninstaller would remove it. The
// run does it at its end, and so does the completion of a committed run that
// was killed before it got there.
#include "removal.h"

#include "install_log.h"
#include "product.h"
#include "safe_folder.h"

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

bool removeEarlierInstall(const WCHAR* folder, const WCHAR* newFolder, bool& unreachable)
{
    HANDLE held;
    const FolderVerdict verdict = holdFolderLogged(folder, held);
    releaseFolder(held);
    unreachable = verdict == FolderVerdict::unreadable;
    // Gone already; or reached through a link, so what lies there is not
    // the earlier install's, and stays.
    if (verdict != FolderVerdict::usable)
        return !unreachable;
    if (isSameFolder(folder, newFolder))
        return true;
    WCHAR exePath[pathCapacity];
    lstrcpyW(exePath, folder);
    if (!appendPathName(exePath, pathCapacity, L"") ||
        !writeNameAt(exePath, lstrlenW(exePath), uninstallerFileName, ""))
        return false;
    // Its key now names the new install, and its links point elsewhere than
    // the new ones, so only the earlier install's own things go.
    logAction("earlier install removed", folder, "");
    static RemovalReport report;
    report.length = 0;
    report.unlisted = 0;
    removeInstalledBook(exePath, SelfRemoval::now, report);
    return !hasFailures(report);
}
