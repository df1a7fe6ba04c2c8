// The install sequence and its rollback.
//
// pagesDestination.path is the working buffer: once the pages folder chain
// exists, pagesDestination.existingLength is the position at which each target
// file name is written before its entry is extracted. The same holds for
// iconDestination.path and desktopBaseLength once the icon chain has run.
//
// What the run sets aside and makes goes into one record (install_record.h),
// which is also its journal; the rollback reads only that record.
#include "install.h"

#include <windows.h>

#include <string.h>

#include "change_lock.h"
#include "extract.h"
#include "folder_chain.h"
#include "inflate_state.h"
#include "install_log.h"
#include "install_record.h"
#include "messages.h"
#include "page_manifest.h"
#include "pages_folder.h"
#include "pending_delete.h"
#include "path_text.h"
#include "product.h"
#include "registration.h"
#include "removal.h"
#include "safe_folder.h"
#include "settings.h"
#include "shortcut.h"

namespace {

constexpr char noSuffix[] = "";
constexpr char resourceNameFormat[] = "#%d";
constexpr int nameCapacity = 80;   // resource names
static_assert(registeredValueCount <= savedValueCount, "every registered value can be kept");

InstallRecord record;
bool registered;        // this run's uninstaller is the one the key names
bool folderTakenOver;   // the pages folder was to go at the next boot: an earlier install made it
HANDLE iconFolder;      // held from before the shortcut is set aside until it is saved
uint32_t bytesWritten;  // of the book's files: the entry's estimated size

const char* nextName(const char* name)
{
    return name + lstrlenA(name) + 1;
}

bool isReplacedInVariant(int number)
{
    return installSettings.specificBook && number >= firstReplacedResource &&
           number <= lastReplacedResource;
}

// A missing entry fails like a damaged one.
bool installEntry(const char* name, const char* suffix, int number)
{
    DestinationPath& pages = installSettings.pagesDestination;
    if (!writeNameAt(pages.path, pages.existingLength, name, suffix))
        return false;
    char resourceName[nameCapacity];
    wsprintfA(resourceName, resourceNameFormat, number);
    HRSRC resource = FindResourceA(nullptr, resourceName, resourceName);
    const bool written = resource && extractPayloadEntry(resource) == 0;
    if (resource)
        logOutcome("file written", pages.path, written);
    else
        logAction("file written", pages.path, "failed: not in the installer");
    bytesWritten += written ? inflateState.outputSize : 0;
    return written;
}

// Expands the short names in folder, a full path ending in a backslash, which
// it keeps: a short name would have the record and the registration name it
// otherwise than every later run. The system writes the long form over the
// short one only when it has all of it; otherwise folder stays as it is.
// Returns its length.
int expandFolder(WCHAR* folder)
{
    GetLongPathNameW(folder, folder, pathCapacity);
    return lstrlenW(folder);
}

// Runs while pagesDestination.path names the first page, the shortcut's target.
// A failed icon chain is reported and the link goes into its deepest existing
// folder. That folder is held, as the pages folder is, while a link already
// there is set aside and the new one saved.
bool placeShortcut()
{
    DestinationPath& icon = installSettings.iconDestination;
    const bool chainMade =
        cutPathAt(icon.path, icon.existingLength) &&
        createFolderChain(installSettings.desktopBaseLength, icon.newFolder, icon.path, record.iconFoldersCreated,
                          nullptr);
    // createFolderChain leaves the path terminated after the folder's backslash.
    // The folders it made are in the journal before a message can wait.
    installSettings.desktopBaseLength = expandFolder(icon.path);
    lstrcpynW(record.iconFolder, icon.path, pathCapacity);
    if (!writeJournal(record))
        return false;
    if (!chainMade)
        showInstallError(iconFolderFailedText);
    // Held until the link is saved (finishShortcut).
    iconFolder = holdIconFolder(record.iconFolder);
    const bool placed = iconFolder != INVALID_HANDLE_VALUE &&
                        writeNameAt(icon.path, installSettings.desktopBaseLength, linkFileName, noSuffix) &&
                        setAsideLink(record, icon.path, iconFolder);
    if (iconFolder != INVALID_HANDLE_VALUE && !placed)
        showShortcutError(linkFileName);
    if (placed)
        saveDesktopShortcut(icon.path);
    return placed;
}

// The link the run asked for is saved, or the run fails; its folder is let go.
bool finishShortcut()
{
    const bool saved = finishDesktopShortcut(linkFileName);
    releaseFolder(iconFolder);
    return saved;
}

bool installMainPages()
{
    int number = firstMainResource;
    for (const char* name = mainPageNames; *name; name = nextName(name), number++) {
        if (isReplacedInVariant(number))
            continue;
        if (!installEntry(name, pageSuffix, number))
            return false;
        if (number == firstMainResource && !placeShortcut())
            return false;
    }
    return true;
}

bool installExtraFiles()
{
    int number = firstExtraResource;
    for (const char* name = extraFileNames; *name; name = nextName(name), number++)
        if (!installEntry(name, noSuffix, number))
            return false;
    return true;
}

// What the removal needs: where the shortcut is and how many folders the
// install made, counted through those of the earlier install that this
// one's lie in. An earlier install of a release before this record made
// its folders below Program Files, and its shortcut's below the desktop.
void keepFolders()
{
    static KeptFolders kept;
    static KeptFolders earlier;
    kept.pagesMade = record.pagesFoldersCreated + (folderTakenOver && record.pagesFoldersCreated == 0);
    kept.iconMade = record.iconFoldersCreated;
    lstrcpyW(kept.iconFolder, record.iconFolder);
    WCHAR earlierFolder[pathCapacity];
    WCHAR programFiles[pathCapacity];
    if (savedUninstaller(record, earlierFolder) && isUninstallerPath(earlierFolder) && cutToFolder(earlierFolder)) {
        const SavedValue* value = savedValue(record, keptFoldersName);
        if (!value || !parseKeptFolders(value->type, value->data, value->size, earlier)) {
            earlier.pagesMade = readProgramFilesFolder(programFiles, pathCapacity) &&
                                        isBelowFolder(earlierFolder, programFiles)
                                    ? namesFrom(earlierFolder, lstrlenW(programFiles) + 1)
                                    : 0;
            lstrcpyW(earlier.iconFolder, record.iconFolder);
            earlier.iconMade = record.linkExisted ? namesFrom(record.iconFolder, folderRootEnd(record.iconFolder)) : 0;
        }
        kept.pagesMade = madeWithEarlier(record.pagesFolder, kept.pagesMade, earlierFolder, earlier.pagesMade);
        kept.iconMade = madeWithEarlier(record.iconFolder, kept.iconMade, earlier.iconFolder, earlier.iconMade);
    }
    registerKeptFolders(kept);
}

// Everything after the pages folder exists: the uninstaller and its
// registration, the pages with the shortcut, the variant's files.
bool installBook(bool valuesKept, HANDLE pagesFolder)
{
    if (!recordBookNames(record) ||
        !setAsideBookFiles(record, pagesFolder) || !installEntry(uninstallerFileName, noSuffix, uninstallerResource))
        return false;
    // A value that could not be kept is not replaced: the registration fails instead.
    registered = valuesKept && registerUninstaller(installSettings.pagesDestination.path);
    if (!registered) {
        // Values written before the one that failed would name this run's
        // uninstaller next to the earlier install's: the key goes back as it was.
        if (valuesKept)
            restoreUninstallValues(record);
        showInstallError(registrationFailedText);
    }
    if (!installMainPages() || (installSettings.specificBook && !installExtraFiles()))
        return false;
    if (registered) {
        registerInstalledSize((bytesWritten + 1023) / 1024);
        keepFolders();
    }
    return true;
}

// Says what kept the run from undoing or completing itself; its journal stays.
void reportUnsettled()
{
    static WCHAR text[pathCapacity + 300];
    constexpr int capacity = sizeof text / sizeof(WCHAR);
    static_assert(sizeof runUnsettledFormat + sizeof linkedText + sizeof runUnsettledEnd + pathCapacity <= capacity,
                  "the message and any path fit");
    composePathMessage(text, capacity, runUnsettledFormat, settleBlocker());
    appendBlockReason(text, capacity);
    appendAscii(text, capacity, runUnsettledEnd);
    showInstallErrorText(text);
}

// The run's end, once the book is complete: the pages are on disk before the
// journal says so, then the set-aside files and an earlier install in
// another folder go. A failed flush or commit undoes the run.
bool commit(HANDLE& pagesFolder)
{
    record.committed = 1;
    if (!flushBookFiles(record) || !writeJournal(record)) {
        record.committed = 0;
        return false;
    }
    // The install is complete whatever stays: the next start removes it.
    // A run that forgot an interrupted install lets go of what that one
    // could not reach, and only of that.
    const bool completed = completeInstall(record, pagesFolder);
    releaseSetAsideFiles();
    if (!completed) {
        if (installSettings.forget && blockerWasForgotten()) {
            logAction("left as it is, forgotten", settleBlocker(), "");
            removeJournal();
        } else {
            reportUnsettled();
        }
    }
    releaseFolder(pagesFolder);
    return true;
}

// The whole install, once no other run changes the book.
bool install()
{
    DestinationPath& pages = installSettings.pagesDestination;
    memset(&record, 0, sizeof record);
    bytesWritten = 0;
    // First of all, so that the record says from the start whether the key
    // existed and which install it named: a rollback deletes the key only when
    // the run created it, and a complete run removes an earlier install in
    // another folder.
    const bool valuesKept = saveUninstallValues(record, registeredValueNames, registeredValueCount);

    // A name the system would change or refuse fails as a chain that cannot
    // be made, before anything is. So does a folder that a later step
    // would refuse.
    if (findBadName(pages.path + firstFolderStart(pages.path))) {
        showInstallError(pagesFolderFailedText);
        return false;
    }
    if (!checkPagesDestination() || !checkIconDestination())
        return false;
    installSettings.changed = 1;
    int filePosition = 0;
    if (!cutPathAt(pages.path, pages.existingLength) ||
        !createFolderChain(filePosition, pages.newFolder, pages.path, record.pagesFoldersCreated,
                           &protectedAttributes)) {
        removeCreatedFolders(pages.path, filePosition, record.pagesFoldersCreated);
        showInstallError(pagesFolderFailedText);
        return false;
    }
    pages.existingLength = filePosition = expandFolder(pages.path);
    lstrcpyW(record.pagesFolder, pages.path);
    // Held from here to the end of the run: nothing can take its place.
    HANDLE pagesFolder = holdPagesFolder(record.pagesFolder);
    if (pagesFolder == INVALID_HANDLE_VALUE) {
        removeCreatedFolders(pages.path, filePosition, record.pagesFoldersCreated);
        return false;
    }
    // An uninstaller that could not remove itself left its file to the next
    // boot: that must not take this run's.
    folderTakenOver = cancelPendingDeletes(record.pagesFolder);
    prepareFlushes(record.pagesFolder);
    // The link's target is the first page: the link is made meanwhile.
    WCHAR firstPage[pathCapacity];
    lstrcpyW(firstPage, record.pagesFolder);
    writeNameAt(firstPage, filePosition, mainPageNames, pageSuffix);
    prepareDesktopShortcut(firstPage);
    iconFolder = INVALID_HANDLE_VALUE;

    // Every written file is flushed and closed, and the link saved, before
    // anything touches them again.
    const bool written = installBook(valuesKept, pagesFolder);
    const bool linked = finishShortcut();
    if (!finishFileFlushes() || !written || !linked || !commit(pagesFolder)) {
        releaseSetAsideFiles();
        const bool undone = undoInstall(record, pagesFolder);
        showInstallError(copyFailedText);
        if (!undone)
            reportUnsettled();
        return false;
    }
    return true;
}

} // namespace

int runInstall()
{
    // Nothing is changed while another run holds the lock, or while another
    // run's journal is there, under any name: an earlier release's runs take
    // no lock. Under the lock the check for a journal and this run's first
    // journal write are one step: no run that takes the lock can write one
    // between them.
    // The lock is let go with the process, which ends once the run has.
    if (takeChangeLock() == ChangeLock::busy || journalIsPresent()) {
        showInstallError(installRunningText);
        return ERROR_INSTALL_ALREADY_RUNNING;
    }
    return install() ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}
