// The earlier install that an install into another folder replaces: removed,
// once the key names the new one, as its own uninstaller would remove it. The
// run does it at its end, and so does the completion of a committed run that
// was killed before it got there.
#include "removal.h"

#include "install_log.h"
#include "product.h"
#include "safe_folder.h"

bool removeEarlierInstall(const InstalledBook& earlier, const WCHAR* newFolder, RemovalReport& report,
                          bool& unreachable)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, earlier.exePath);
    cutToFolder(folder);
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
    // Its key now names the new install, and its links point elsewhere than
    // the new ones, so only the earlier install's own things go.
    logAction("earlier install removed", folder, "");
    removeInstalledBook(earlier, SelfRemoval::now, report);
    return !hasFailures(report);
}
