// Undoing or completing a run from its record: in the run itself, and in a
// later run that finds the journal of a killed one.
//
// Each step works from what is on disk now, so it may run again after a kill
// halfway through it: a set-aside file that is no longer there has gone back
// already, or was never moved; a file that is already gone is not a failure.
// Only plain files are renamed or deleted (safe_folder.h).
#include "install_record.h"

#include "folder_chain.h"
#include "install_log.h"
#include "path_text.h"
#include "product.h"
#include "safe_folder.h"

namespace {

// A run writes plain files only: a folder or a link of the name is someone
// else's, and was in the way of the write, so there is nothing of the run's
// to delete.
bool deleteIfPresent(const WCHAR* path, const char* action)
{
    const FileOutcome outcome = deletePlainFile(path);
    if (outcome != FileOutcome::untouched)
        logOutcome(action, path, outcome == FileOutcome::done);
    return outcome != FileOutcome::failed;
}

// Puts the set-aside file back over whatever the run left at path.
bool restoreSetAside(const WCHAR* path)
{
    WCHAR aside[pathCapacity];
    if (!setAsideName(aside, path))
        return true;
    const FileOutcome outcome = movePlainFile(aside, path, true);
    if (outcome == FileOutcome::untouched)
        return true;   // never moved, or back already
    logOutcome("file restored", path, outcome == FileOutcome::done);
    return outcome == FileOutcome::done;
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

bool undoShortcut(const InstallRecord& record)
{
    bool settled = true;
    if (record.linkPath[0] != L'\0')
        settled = record.linkExisted ? restoreSetAside(record.linkPath)
                                     : deleteIfPresent(record.linkPath, "shortcut deleted");
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, record.iconFolder);
    removeCreatedFolders(folder, lstrlenW(folder), record.iconFoldersCreated);
    return settled;
}

} // namespace

void undoInstall(InstallRecord& record, HANDLE& pagesFolder)
{
    logText("rollback", "");
    bool settled = undoShortcut(record);
    settled = forEachBookFile(record, record.writing ? undoFile : undoBeforeWriting) && settled;
    settled = restoreUninstallValues(record) && settled;
    if (settled && removeJournal() && !record.keyExisted)
        logText("key deleted", RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKeyPath) == ERROR_SUCCESS ? "ok" : "failed");
    releaseFolder(pagesFolder);
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, record.pagesFolder);
    removeCreatedFolders(folder, lstrlenW(folder), record.pagesFoldersCreated);
}

void completeInstall(InstallRecord& record)
{
    record.committed = 1;
    writeJournal(record);
    bool settled = !record.linkExisted || deleteSetAside(record.linkPath);
    settled = forEachBookFile(record, completeFile) && settled;
    if (settled)
        removeJournal();
}
