// Undoing or completing a run from its record: in the run itself, and in a
// later run that finds the journal of a killed one.
//
// Each step works from what is on disk now, so it may run again after a kill
// halfway through it: a set-aside file that is no longer there has gone back
// already, or was never moved; a file that is already gone is not a failure.
// But only what is known counts: a file whose folder cannot be reached (a
// drive that went away, a folder renamed) is a failure, and the journal stays
// for the next start. Only plain files are renamed or deleted (safe_folder.h).
#include "install_record.h"

#include "folder_chain.h"
#include "install_log.h"
#include "path_text.h"
#include "product.h"
#include "removal.h"
#include "safe_folder.h"

namespace {

// What kept the last settle from finishing, the first thing only, and
// whether that is a folder that cannot be reached.
WCHAR blocker[pathCapacity];
bool blockerUnreachable;

// The result of a step on the file at path: true unless it failed. A failure
// names the file when the file itself refused (held open, or not ours to
// change), and its folder when that could not be reached.
bool stepSettled(FileOutcome outcome, const char* action, const WCHAR* path)
{
    const DWORD error = GetLastError();
    if (actedOn(outcome))
        logOutcome(action, path, outcome == FileOutcome::done);
    if (outcome != FileOutcome::failed)
        return true;
    WCHAR named[pathCapacity];
    lstrcpyW(named, path);
    const bool unreachable =
        error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION;
    if (unreachable)
        cutToFolder(named);
    noteSettleBlocker(named, unreachable);
    return false;
}

// A run writes plain files only: a folder or a link of the name is someone
// else's, and was in the way of the write, so there is nothing of the run's
// to delete.
bool deleteIfPresent(const WCHAR* path, const char* action)
{
    return stepSettled(deletePlainFile(path), action, path);
}

// Puts the set-aside file back over whatever the run left at path.
bool restoreSetAside(const WCHAR* path)
{
    WCHAR aside[pathCapacity];
    if (!setAsideName(aside, path))
        return true;
    // Nothing at the set-aside name: never moved, or back already.
    return stepSettled(movePlainFile(aside, path, true), "file restored", path);
}

bool deleteSetAside(const WCHAR* path)
{
    WCHAR aside[pathCapacity];
    return !setAsideName(aside, path) || deleteIfPresent(aside, "set-aside file deleted");
}

bool bookFileExisted(const InstallRecord& record, int index)
{
    return (record.existed[index / 8] & (1u << (index % 8))) != 0;
}

// What becomes of one book file: its path, and whether it existed before the run.
using SettleFile = bool (*)(const WCHAR* path, bool existed);

bool undoFile(const WCHAR* path, bool existed)
{
    return existed ? restoreSetAside(path) : deleteIfPresent(path, "file deleted");
}

// Before the run was writing, every book file in the folder was there before it.
bool undoBeforeWriting(const WCHAR* path, bool existed)
{
    return !existed || restoreSetAside(path);
}

bool completeFile(const WCHAR* path, bool existed)
{
    return !existed || deleteSetAside(path);
}

// Calls settle(path, existed) for each book file of the record; false when
// any call fails.
bool forEachBookFile(const InstallRecord& record, SettleFile settle)
{
    WCHAR path[pathCapacity];
    lstrcpyW(path, record.pagesFolder);
    const int folderLength = lstrlenW(path);
    bool settled = true;
    const char* name = record.names;
    for (int i = 0; i < record.nameCount; i++, name += lstrlenA(name) + 1)
        if (writeNameAt(path, folderLength, name, ""))
            settled = settle(path, bookFileExisted(record, i)) && settled;
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
    const bool settled = verdict == FolderVerdict::usable ? settle(record.linkPath, record.linkExisted != 0)
                                                          : verdict == FolderVerdict::missing;
    releaseFolder(held);
    if (!settled)
        noteSettleBlocker(record.iconFolder, verdict == FolderVerdict::unreadable);
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
    widenAscii(key, pathCapacity, "HKEY_LOCAL_MACHINE\\");
    widenAscii(key + lstrlenW(key), pathCapacity - lstrlenW(key), uninstallKeyPath);
    noteSettleBlocker(key);
    return false;
}

// The key's values as they were.
bool restoreValues(const InstallRecord& record)
{
    return restoreUninstallValues(record) || keyBlocks();
}

// The journal goes only once what it guarded is back on disk. Whatever keeps
// it is named: the pages folder whose entries would not flush, or the key,
// which may well hold the values the run had anyway and so failed no step
// before this one.
bool journalRemoved(const InstallRecord& record)
{
    if (!flushFolderEntries(record)) {
        noteSettleBlocker(record.pagesFolder);
        return false;
    }
    return removeJournal() || keyBlocks();
}

// The earlier install in another folder, as the key named it before the run,
// once the key names this run's uninstaller: until then the earlier one stays
// the registered one. Only an uninstaller of the book's name names an install.
bool removeReplacedInstall(const InstallRecord& record)
{
    WCHAR earlier[pathCapacity];
    WCHAR uninstaller[pathCapacity];
    lstrcpyW(uninstaller, record.pagesFolder);
    if (!savedUninstaller(record, earlier) || !isUninstallerPath(earlier) ||
        !writeNameAt(uninstaller, lstrlenW(uninstaller), uninstallerFileName, "") ||
        !keyNamesUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, uninstaller))
        return true;
    cutToFolder(earlier);
    bool unreachable;
    if (removeEarlierInstall(earlier, record.pagesFolder, unreachable))
        return true;
    noteSettleBlocker(earlier, unreachable);
    return false;
}

} // namespace

const WCHAR* settleBlocker()
{
    return blocker;
}

void noteSettleBlocker(const WCHAR* path, bool unreachable)
{
    if (blocker[0] != L'\0')
        return;
    lstrcpynW(blocker, path, pathCapacity);
    blockerUnreachable = unreachable;
}

bool settleBlockerUnreachable()
{
    return blocker[0] != L'\0' && blockerUnreachable;
}

bool undoInstall(InstallRecord& record, HANDLE& pagesFolder)
{
    logText("rollback", "");
    blocker[0] = L'\0';
    bool settled = undoShortcut(record);
    settled = forEachBookFile(record, record.writing ? undoFile : undoBeforeWriting) && settled;
    settled = restoreValues(record) && settled;
    settled = settled && journalRemoved(record);
    if (settled && !record.keyExisted)
        logText("key deleted", RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKeyPath) == ERROR_SUCCESS ? "ok" : "failed");
    if (!settled)
        logAction("rollback unfinished: journal kept", blocker, "");
    releaseFolder(pagesFolder);
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, record.pagesFolder);
    removeCreatedFolders(folder, lstrlenW(folder), record.pagesFoldersCreated);
    return settled;
}

bool completeInstall(const InstallRecord& record)
{
    blocker[0] = L'\0';
    bool settled = settleShortcut(record, completeFile);
    settled = forEachBookFile(record, completeFile) && settled;
    settled = removeReplacedInstall(record) && settled;
    settled = settled && journalRemoved(record);
    if (!settled)
        logAction("completion unfinished: journal kept", blocker, "");
    return settled;
}
