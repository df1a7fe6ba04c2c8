// Settling what a killed run left, as its journal tells. The journal is the
// one thing besides the command line that points the programs at files, so it
// is acted on only when it is the journal of a run of this book that no
// longer goes on: its writer has ended, its names are the book's, its folders
// are the book's and reached without a link.
#include "install_record.h"

#include <string.h>

#include "change_lock.h"
#include "install_log.h"
#include "path_text.h"
#include "product.h"
#include "removal.h"
#include "safe_folder.h"

namespace {

constexpr WCHAR uninstallStringName[] = L"UninstallString";

// The record of a journal found by a later run, and the book's names as a run
// records them: too large for a stack frame.
InstallRecord interrupted;
InstallRecord bookNames;

// True when the journal's writer is a process other than this one that still
// runs. A process that cannot be asked is taken to run: then nothing is touched.
bool writerRuns(const InstallRecord& record)
{
    if (record.writerProcessId == 0 || record.writerProcessId == GetCurrentProcessId())
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, record.writerProcessId);
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER;   // no such process
    FILETIME started, exited, kernel, user;
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT &&
                      (!GetProcessTimes(process, &started, &exited, &kernel, &user) ||
                       (started.dwLowDateTime == record.writerStartLow &&
                        started.dwHighDateTime == record.writerStartHigh));
    CloseHandle(process);
    return runs;
}

// True when the journal just read is of a run that goes on.
bool runs(JournalRead read)
{
    return read == JournalRead::read && writerRuns(interrupted);
}

// The folder or file a forgotten journal was blocked by.
WCHAR forgotten[pathCapacity];

// Exactly the names recordBookNames gives a run.
bool namesTheBook(const InstallRecord& record)
{
    return recordBookNames(bookNames) && record.nameCount == bookNames.nameCount &&
           memcmp(record.names, bookNames.names, sizeof bookNames.names) == 0;
}

// The pages folder is the folder of the uninstaller the key names; or the run
// had not registered yet, and the key names what it named before the run.
bool isTheRegisteredFolder(const InstallRecord& record)
{
    WCHAR folder[pathCapacity];
    if (readRecordedUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, folder)) {
        const int length = cutToFolder(folder);
        if (length > 0 && appendPathName(folder, pathCapacity, L"") &&
            CompareStringOrdinal(folder, -1, record.pagesFolder, -1, TRUE) == CSTR_EQUAL)
            return true;
    }
    return valueIsAsSaved(record, uninstallStringName);
}

// No link, or the shortcut's own name in the icon folder.
bool isTheBooksLink(const InstallRecord& record)
{
    if (record.linkPath[0] == L'\0')
        return true;
    WCHAR linkPath[pathCapacity];
    lstrcpyW(linkPath, record.iconFolder);
    const int length = lstrlenW(linkPath);
    return length > 0 && linkPath[length - 1] == L'\\' && writeNameAt(linkPath, length, linkFileName, "") &&
           CompareStringOrdinal(linkPath, -1, record.linkPath, -1, TRUE) == CSTR_EQUAL;
}

// Holds folder, when the record names one. A folder that is gone (the folder
// above it is there without it) holds nothing to settle: usable, and gone.
// Otherwise the verdict of holding it; one other than usable is noted as
// what blocks the settle.
FolderVerdict holdRecordedFolder(const WCHAR* folder, HANDLE& held, bool& gone)
{
    held = INVALID_HANDLE_VALUE;
    const FolderVerdict verdict = folder[0] ? holdFolder(folder, held) : FolderVerdict::missing;
    gone = verdict == FolderVerdict::missing;
    if (gone)
        return FolderVerdict::usable;
    if (verdict != FolderVerdict::usable)
        noteSettleBlocker(folder, verdict == FolderVerdict::linked ? BlockReason::linked : BlockReason::unreachable);
    return verdict;
}

// Settles the journal as settleInterruptedInstall says; forgetting, as far
// as its folders can be reached, and then its journal goes.
Settling settle(bool forgetting)
{
    // A settle is a change: it takes the lock, which the caller then holds.
    if (takeChangeLock() == ChangeLock::busy)
        return Settling::running;
    clearSettleBlocker();
    const JournalRead read = readJournal(interrupted);
    if (read == JournalRead::none)
        return Settling::nothing;
    if (read == JournalRead::newer) {
        logText("interrupted install found", "its record is a later release's: left alone");
        return Settling::newer;
    }
    if (runs(read)) {
        logText("interrupted install found", "its run goes on in another process: left alone");
        return Settling::running;
    }
    if (read != JournalRead::read || !namesTheBook(interrupted) || !isTheRegisteredFolder(interrupted) ||
        !isTheBooksLink(interrupted)) {
        logText("interrupted install found", "its record is not this book's install: left alone");
        return Settling::refused;
    }
    // Each folder is held without a link on the way, or it is gone, or it
    // cannot be reached now: then what lies in it is left as it is. The icon
    // folder is checked the same way but not kept held: the rollback
    // removes it when the run created it.
    HANDLE pagesFolder;
    HANDLE iconFolder;
    bool iconGone;
    bool pagesGone;
    const FolderVerdict icon = holdRecordedFolder(interrupted.iconFolder, iconFolder, iconGone);
    releaseFolder(iconFolder);
    const FolderVerdict pages = holdRecordedFolder(interrupted.pagesFolder, pagesFolder, pagesGone);
    const bool linked = icon == FolderVerdict::linked || pages == FolderVerdict::linked;
    if (icon != pages || icon != FolderVerdict::usable) {
        if (linked || !forgetting) {
            releaseFolder(pagesFolder);
            logAction("interrupted install left alone", settleBlocker(), "");
            return linked ? Settling::refused : Settling::unfinished;
        }
        logAction("left as it is, forgotten", settleBlocker(), "cannot be reached");
    }
    // What lay in a folder that is gone, or is left, went with it or stays.
    if (pagesGone || pages != FolderVerdict::usable)
        interrupted.nameCount = 0;
    if (iconGone || icon != FolderVerdict::usable) {
        interrupted.linkPath[0] = L'\0';
        interrupted.iconFoldersCreated = 0;
    }
    logText("interrupted install found", interrupted.committed ? "committed: completing it" : "open: rolling it back");
    settleAsFarAsReachable(forgetting);
    const bool settled =
        interrupted.committed ? completeInstall(interrupted, pagesFolder) : undoInstall(interrupted, pagesFolder);
    settleAsFarAsReachable(false);
    releaseFolder(pagesFolder);
    return settled ? Settling::settled : Settling::unfinished;
}

} // namespace

bool installIsRunning()
{
    return runs(readJournal(interrupted));
}

bool journalIsPresent()
{
    return readJournal(interrupted) != JournalRead::none;
}

Settling settleInterruptedInstall()
{
    return settle(false);
}

bool forgetInterruptedInstall(Settling settling)
{
    // Never a journal whose writer runs.
    if (installIsRunning())
        return false;
    lstrcpyW(forgotten, settleBlocker());
    // A journal of this book's install that was blocked is settled as far as
    // it can be, and goes; any other only goes.
    const bool gone = settling == Settling::unfinished ? settle(true) == Settling::settled : removeJournal();
    logOutcome("interrupted install forgotten", forgotten, gone);
    // Kept as a folder's path without its backslash, as a blocker names one.
    const int length = lstrlenW(forgotten);
    if (length > 3 && forgotten[length - 1] == L'\\')
        forgotten[length - 1] = L'\0';
    return gone;
}

bool blockerWasForgotten()
{
    const WCHAR* blocked = settleBlocker();
    return forgotten[0] && (samePath(blocked, forgotten) || isBelowFolder(blocked, forgotten));
}
