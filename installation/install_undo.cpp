// Undoing or completing a run from its record: in the run itself, and in a
// later run that finds the journal of a killed one.
//
// Each step works from what is on disk now, so it may run again after a kill
// halfway through it: a set-aside file that is no longer there has gone back
// already, or was never moved; a file that is already gone is not a failure.
// But only what is known counts: a file whose folder cannot be reached (a
// drive that went away, a folder renamed) is a failure, and the journal stays
// for the next start. Only plain files that are the very files their paths
// name in the held folder are renamed or deleted (safe_folder.h); anything
// else at a book name is not the run's, and stays.
#include "install_record.h"

#include <string.h>

#include "folder_chain.h"
#include "install_log.h"
#include "path_text.h"
#include "product.h"
#include "removal.h"
#include "safe_folder.h"

namespace {

// What kept the last settle from finishing, the first thing only, and why.
WCHAR blocker[pathCapacity];
BlockReason blockReason;
// Set while an interrupted install is forgotten: it is settled as far as it
// can be, and then its journal goes whatever stays.
bool forgetting;

// Why a step on a file failed with error.
BlockReason reasonOf(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? BlockReason::inUse
           : error == ERROR_ACCESS_DENIED                                     ? BlockReason::unchangeable
                                                                              : BlockReason::unreachable;
}

// Notes entry as the blocker, or its folder where that could not be reached.
void noteFailedEntry(const WCHAR* entry, DWORD error)
{
    WCHAR named[pathCapacity];
    lstrcpynW(named, entry, pathCapacity);
    for (WCHAR* at = named; *at; at++)
        if (*at == L'\n')
            *at = L'\0';   // the first of a list of several
    const BlockReason reason = reasonOf(error);
    if (reason == BlockReason::unreachable)
        cutToFolder(named);
    noteSettleBlocker(named, reason);
}

// The result of a step on the file entry: true unless it failed. A failure
// names the entry when the entry itself refused (held open, or not to be
// changed), and its folder when that could not be reached. path is what the
// log names as done.
bool stepSettled(FileOutcome outcome, const char* action, const WCHAR* path, const WCHAR* entry)
{
    const DWORD error = GetLastError();
    if (actedOn(outcome))
        logOutcome(action, path, outcome == FileOutcome::done);
    if (outcome != FileOutcome::failed)
        return true;
    noteFailedEntry(entry, error);
    return false;
}

// A run writes plain files only: a folder or a link of the name is someone
// else's, and was in the way of the write, so there is nothing of the run's
// to delete.
bool deleteIfPresent(HANDLE folder, const WCHAR* path, const char* action)
{
    return stepSettled(deletePlainFile(folder, path), action, path, path);
}

// True when another program holds the file at path without delete sharing.
bool isHeld(const WCHAR* path)
{
    HANDLE file = CreateFileW(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool held = file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return held;
}

// Puts the set-aside file back over whatever the run left at path. What
// blocks is the file the run left where it is held, else the set-aside one.
bool restoreSetAside(HANDLE folder, const WCHAR* path)
{
    WCHAR aside[pathCapacity];
    if (!setAsideName(aside, path))
        return true;
    // Nothing at the set-aside name: never moved, or back already.
    const FileOutcome outcome = movePlainFile(folder, aside, path, true);
    const DWORD error = GetLastError();
    const bool targetHeld = outcome == FileOutcome::failed && isHeld(path);
    SetLastError(targetHeld ? ERROR_SHARING_VIOLATION : error);
    return stepSettled(outcome, "file restored", path, targetHeld ? path : aside);
}

bool deleteSetAside(HANDLE folder, const WCHAR* path)
{
    WCHAR aside[pathCapacity];
    return !setAsideName(aside, path) || deleteIfPresent(folder, aside, "set-aside file deleted");
}

bool bookFileExisted(const InstallRecord& record, int index)
{
    return (record.existed[index / 8] & (1u << (index % 8))) != 0;
}

// What becomes of one book file in the held folder: its path, whether it
// existed before the run, and its index in the record (-1: the shortcut).
using SettleFile = bool (*)(HANDLE folder, const WCHAR* path, bool existed, int index);

bool undoFile(HANDLE folder, const WCHAR* path, bool existed, int)
{
    return existed ? restoreSetAside(folder, path) : deleteIfPresent(folder, path, "file deleted");
}

// Before the run was writing, every book file in the folder was there before it.
bool undoBeforeWriting(HANDLE folder, const WCHAR* path, bool existed, int)
{
    return !existed || restoreSetAside(folder, path);
}

// The run that set the file aside still holds it: deleted through that
// handle, with no second open and check.
bool completeFile(HANDLE folder, const WCHAR* path, bool existed, int index)
{
    HANDLE kept = index < 0 ? nullptr : takeSetAsideFile(index);
    if (!kept)
        return !existed || deleteSetAside(folder, path);
    WCHAR aside[pathCapacity];
    setAsideName(aside, path);   // it fitted when the file was set aside
    const bool deleted = deleteThrough(kept);
    CloseHandle(kept);
    return stepSettled(deleted ? FileOutcome::done : FileOutcome::failed, "set-aside file deleted", aside, aside);
}

// Calls settle for each book file of the record in the held pages folder;
// false when any call fails.
bool forEachBookFile(const InstallRecord& record, HANDLE folder, SettleFile settle)
{
    WCHAR path[pathCapacity];
    lstrcpyW(path, record.pagesFolder);
    const int folderLength = lstrlenW(path);
    bool settled = true;
    const char* name = record.names;
    for (int i = 0; i < record.nameCount; i++, name += lstrlenA(name) + 1)
        if (writeNameAt(path, folderLength, name, ""))
            settled = settle(folder, path, bookFileExisted(record, i), i) && settled;
    return settled;
}

// Settles the record's shortcut, if it has one, while its folder is held:
// no link swapped in for the folder can turn the step elsewhere. A folder
// that is gone holds no shortcut; one that cannot be held blocks.
bool settleShortcut(const InstallRecord& record, SettleFile settle)
{
    if (record.linkPath[0] == L'\0')
        return true;
    HANDLE held;
    const FolderVerdict verdict = holdFolderLogged(record.iconFolder, held);
    const bool settled = verdict == FolderVerdict::usable ? settle(held, record.linkPath, record.linkExisted != 0, -1)
                                                          : verdict == FolderVerdict::missing;
    releaseFolder(held);
    if (verdict != FolderVerdict::usable && !settled)
        noteSettleBlocker(record.iconFolder,
                          verdict == FolderVerdict::linked ? BlockReason::linked : BlockReason::unreachable);
    return settled;
}

bool undoShortcut(const InstallRecord& record)
{
    const bool settled = settleShortcut(record, undoFile);
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, record.iconFolder);
    removeCreatedFolders(folder, lstrlenW(folder), record.iconFoldersCreated);
    return settled;
}

// A key that cannot be written names itself as what blocks the settle.
bool keyBlocks()
{
    WCHAR key[pathCapacity];
    uninstallKeyName(key);
    noteSettleBlocker(key, BlockReason::unchangeable);
    return false;
}

// The key's values as they were.
bool restoreValues(const InstallRecord& record)
{
    return restoreUninstallValues(record) || keyBlocks();
}

// Forgetting, what could not be settled stays, and the journal goes anyway.
bool settledOrForgotten(bool settled)
{
    if (!settled && forgetting)
        logAction("left as it is, forgotten", blocker, "");
    return settled || forgetting;
}

// The journal goes only once what it guarded is back on disk. Whatever keeps
// it is named: the pages folder whose entries would not flush, or the key,
// which may well hold the values the run had anyway and so failed no step
// before this one.
bool journalRemoved(const InstallRecord& record)
{
    if (!flushFolderEntries(record) && !forgetting) {
        noteSettleBlocker(record.pagesFolder, BlockReason::unchangeable);
        return false;
    }
    return removeJournal() || keyBlocks();
}

// What the earlier install that the key named before the run kept, as the
// run saved it; false for an install of a release before that record.
bool savedKeptFolders(const InstallRecord& record, KeptFolders& folders)
{
    const SavedValue* value = savedValue(record, keptFoldersName);
    return value && parseKeptFolders(value->type, value->data, value->size, folders);
}

// Of made folders from folder up, those that do not hold the run's own
// folder runFolder, which made runMade of its own: the earlier install's
// alone, which go with it.
int madeOnlyByEarlier(const WCHAR* folder, int made, const WCHAR* runFolder, int runMade)
{
    return made - (madeWithEarlier(runFolder, runMade, folder, made) - runMade);
}

// The earlier install, as the key named it before the run, once the key
// names this run's uninstaller: until then the earlier one stays the
// registered one. Only an uninstaller of the book's name names an install.
// In another folder it is removed as its own uninstaller would; in the
// run's own folder only its shortcut in another icon folder, with the icon
// folders it made, goes. Folders the run's own lie in stay.
bool removeReplacedInstall(const InstallRecord& record)
{
    static InstalledBook earlier;
    static RemovalReport report;
    WCHAR uninstaller[pathCapacity];
    memset(&earlier, 0, sizeof earlier);
    memset(&report, 0, sizeof report);
    lstrcpyW(uninstaller, record.pagesFolder);
    if (!savedUninstaller(record, earlier.exePath) || !isUninstallerPath(earlier.exePath) ||
        !writeNameAt(uninstaller, lstrlenW(uninstaller), uninstallerFileName, "") ||
        !keyNamesUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, uninstaller))
        return true;
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, earlier.exePath);
    cutToFolder(folder);
    earlier.kept = savedKeptFolders(record, earlier.folders);
    KeptFolders& kept = earlier.folders;
    kept.iconMade = madeOnlyByEarlier(kept.iconFolder, kept.iconMade, record.iconFolder, record.iconFoldersCreated);
    kept.pagesMade = madeOnlyByEarlier(folder, kept.pagesMade, record.pagesFolder, record.pagesFoldersCreated);
    // A shortcut in the run's own icon folder was the run's to replace.
    if (samePath(kept.iconFolder, record.iconFolder))
        kept.iconFolder[0] = L'\0';
    bool unreachable = false;
    if (isSameFolder(folder, record.pagesFolder)) {
        if (earlier.kept && kept.iconFolder[0] && SUCCEEDED(CoInitialize(nullptr))) {
            WCHAR linkName[chainCapacity];
            widenAscii(linkName, chainCapacity, linkFileName);
            removeRecordedLink(kept.iconFolder, kept.iconMade, folder, linkName, report);
            CoUninitialize();
        }
        if (!hasFailures(report))
            return true;
    } else if (removeEarlierInstall(earlier, record.pagesFolder, report, unreachable)) {
        return true;
    } else if (forgetting && !unreachable) {
        // Nothing runs that uninstaller again: it goes with what it could reach.
        removeUninstaller(earlier, SelfRemoval::now, report);
    }
    // The entry that stayed, or the folder that could not be reached.
    if (unreachable)
        noteSettleBlocker(folder, BlockReason::unreachable);
    else
        noteFailedEntry(report.length > 0 ? report.text : folder, report.firstError);
    return false;
}

} // namespace

const WCHAR* settleBlocker()
{
    return blocker;
}

BlockReason settleBlockReason()
{
    return blockReason;
}

void noteSettleBlocker(const WCHAR* path, BlockReason reason)
{
    if (blocker[0] != L'\0')
        return;
    lstrcpynW(blocker, path, pathCapacity);
    blockReason = reason;
}

void clearSettleBlocker()
{
    blocker[0] = L'\0';
}

void settleAsFarAsReachable(bool forget)
{
    forgetting = forget;
}

bool undoInstall(InstallRecord& record, HANDLE& pagesFolder)
{
    logText("rollback", "");
    clearSettleBlocker();
    bool settled = undoShortcut(record);
    settled = forEachBookFile(record, pagesFolder, record.writing ? undoFile : undoBeforeWriting) && settled;
    settled = restoreValues(record) && settled;
    settled = settledOrForgotten(settled) && journalRemoved(record);
    if (settled && !record.keyExisted)
        logKeyResult("key deleted", RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKeyPath));
    if (!settled)
        logAction("rollback unfinished: journal kept", blocker, "");
    releaseFolder(pagesFolder);
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, record.pagesFolder);
    removeCreatedFolders(folder, lstrlenW(folder), record.pagesFoldersCreated);
    return settled;
}

bool completeInstall(const InstallRecord& record, HANDLE pagesFolder)
{
    clearSettleBlocker();
    bool settled = settleShortcut(record, completeFile);
    settled = forEachBookFile(record, pagesFolder, completeFile) && settled;
    settled = removeReplacedInstall(record) && settled;
    settled = settledOrForgotten(settled) && journalRemoved(record);
    if (!settled)
        logAction("completion unfinished: journal kept", blocker, "");
    return settled;
}
