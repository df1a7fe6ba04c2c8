// The pages folder and the icon folder: what the install may write into, and
// why it refuses the rest.
#include "pages_folder.h"

#include "earlier_install.h"
#include "install_log.h"
#include "messages.h"
#include "path_text.h"
#include "safe_folder.h"
#include "settings.h"

namespace {

// Shows why folder was refused, in the message format names.
void showRefusal(const WCHAR* folder, const char* reason, const char* format = pagesFolderRefusedFormat)
{
    // The folder, the reason and the advice, with room to spare.
    static WCHAR text[pathCapacity + 512];
    constexpr int capacity = sizeof text / sizeof *text;
    composePathMessage(text, capacity, format, folder);
    appendAscii(text, capacity, reason);
    appendAscii(text, capacity, pagesFolderRefusedEnd);
    showInstallErrorText(text);
}

// The reason for a verdict other than usable.
const char* refusalText(FolderVerdict verdict)
{
    return verdict == FolderVerdict::linked         ? pagesFolderLinkedText
           : verdict == FolderVerdict::openToOthers ? pagesFolderOpenText
                                                    : pagesFolderUnreadableText;
}

// Holds folder and, with rights, checks who may change it. The folder stays
// held whatever the rights say: the caller releases it.
FolderVerdict holdChecked(const WCHAR* folder, bool rights, HANDLE& held)
{
    const FolderVerdict verdict = holdFolder(folder, held);
    return verdict == FolderVerdict::usable && rights ? checkFolderRights(held) : verdict;
}

// A verdict on the registered install's own folder that protecting it mends.
bool isMendedByProtecting(const WCHAR* folder, FolderVerdict verdict)
{
    return verdict == FolderVerdict::openToOthers && isEarlierInstallFolder(folder);
}

} // namespace

bool checkPagesDestination()
{
    const DestinationPath& pages = installSettings.pagesDestination;
    WCHAR folder[pathCapacity];
    const int length = boundedLength(pages.path, pathCapacity);
    if (length == pathCapacity || pages.existingLength < 0 || pages.existingLength > length)
        return true;   // the chain's creation refuses what cannot be composed
    // Without a chain to create, the existing part is the pages folder itself.
    const bool whole = pages.newFolder[0] == L'\0';
    const int folderLength = whole ? length : pages.existingLength;
    lstrcpynW(folder, pages.path, folderLength + 1);
    // A drive's or a share's root is no folder of the book's own: the
    // uninstaller would leave it, and its rights are the whole drive's.
    if (whole && firstFolderStart(folder) >= folderLength) {
        showRefusal(folder, pagesFolderRootText);
        return false;
    }
    HANDLE held;
    const FolderVerdict verdict = holdChecked(folder, whole, held);
    releaseFolder(held);
    // A folder that is missing is reported when its chain is made.
    if (verdict == FolderVerdict::usable || verdict == FolderVerdict::missing ||
        isMendedByProtecting(folder, verdict))
        return true;
    showRefusal(folder, refusalText(verdict));
    return false;
}

HANDLE holdPagesFolder(const WCHAR* folder)
{
    HANDLE held;
    FolderVerdict verdict = holdChecked(folder, true, held);
    if (isMendedByProtecting(folder, verdict)) {
        // The book's own folder, opened to others since it was installed:
        // protected through the handle already held.
        const bool protectedNow = protectFolder(held);
        logOutcome("folder protected", folder, protectedNow);
        if (protectedNow)
            verdict = checkFolderRights(held);
    }
    if (verdict != FolderVerdict::usable) {
        releaseFolder(held);
        showRefusal(folder, refusalText(verdict));
    }
    return held;
}

// The icon folders lie below the desktop, which is whatever it is linked to;
// below it they are checked as the pages folders are, but not for their
// rights: they are the user's own.
bool checkIconDestination()
{
    const DestinationPath& icon = installSettings.iconDestination;
    WCHAR folder[pathCapacity];
    if (icon.existingLength < 0 || icon.existingLength >= pathCapacity)
        return true;   // the chain's creation refuses what cannot be composed
    lstrcpynW(folder, icon.path, icon.existingLength + 1);
    HANDLE held;
    const FolderVerdict verdict = holdFolder(folder, held);
    releaseFolder(held);
    if (verdict == FolderVerdict::usable || verdict == FolderVerdict::missing)
        return true;
    showRefusal(folder, refusalText(verdict), iconFolderRefusedFormat);
    return false;
}

HANDLE holdIconFolder(const WCHAR* folder)
{
    HANDLE held;
    const FolderVerdict verdict = holdFolder(folder, held);
    if (verdict != FolderVerdict::usable)
        showRefusal(folder, refusalText(verdict), iconFolderRefusedFormat);
    return held;
}
