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

// True when the journal just read is of a run that goes on, or of a later
// release's layout, whose writer cannot be told.
bool runs(JournalRead read)
{
    return read == JournalRead::newer || (read == JournalRead::read && writerRuns(interrupted));
}

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
// Otherwise the verdict of holding it.
FolderVerdict holdRecordedFolder(const WCHAR* folder, HANDLE& held, bool& gone)
{
    held = INVALID_HANDLE_VALUE;
    gone = folder[0] == L'\0';
    if (gone)
        return FolderVerdict::usable;
    const FolderVerdict verdict = holdFolder(folder, held);
    gone = verdict == FolderVerdict::missing;
    return gone ? FolderVerdict::usable : verdict;
}

// The icon folder is checked the same way but not kept held: the rollback
// removes it when the run created it. It lies on the user's own desktop.
FolderVerdict checkRecordedFolder(const WCHAR* folder, bool& gone)
{
    HANDLE held;
    const FolderVerdict verdict = holdRecordedFolder(folder, held, gone);
    releaseFolder(held);
    return verdict;
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
    // A settle is a change: it takes the lock, which the caller then holds.
    if (takeChangeLock() == ChangeLock::busy)
        return Settling::running;
    const JournalRead read = readJournal(interrupted);
    if (read == JournalRead::none)
        return Settling::nothing;
    if (runs(read)) {
        logText("interrupted install found", "its run goes on in another process: left alone");
        return Settling::running;
    }
    HANDLE pagesFolder = INVALID_HANDLE_VALUE;
    bool pagesGone = false;
    bool iconGone = false;
    FolderVerdict verdict = FolderVerdict::linked;
    if (read == JournalRead::read && namesTheBook(interrupted) && isTheRegisteredFolder(interrupted) &&
        isTheBooksLink(interrupted)) {
        verdict = checkRecordedFolder(interrupted.iconFolder, iconGone);
        if (verdict == FolderVerdict::usable)
            verdict = holdRecordedFolder(interrupted.pagesFolder, pagesFolder, pagesGone);
        else
            noteSettleBlocker(interrupted.iconFolder, true);
    }
    if (verdict == FolderVerdict::linked) {
        logText("interrupted install found", "its record is not this book's install: left alone");
        return Settling::refused;
    }
    if (verdict != FolderVerdict::usable) {
        // Its drive is away, or a folder above it: settled once it is back.
        noteSettleBlocker(interrupted.pagesFolder, true);
        logAction("interrupted install found: a folder cannot be reached, left alone", settleBlocker(), "");
        return Settling::unreachable;
    }
    // What lay in a folder that is gone went with it.
    if (pagesGone)
        interrupted.nameCount = 0;
    if (iconGone) {
        interrupted.linkPath[0] = L'\0';
        interrupted.iconFoldersCreated = 0;
    }
    logText("interrupted install found", interrupted.committed ? "committed: completing it" : "open: rolling it back");
    const bool settled = interrupted.committed ? completeInstall(interrupted) : undoInstall(interrupted, pagesFolder);
    releaseFolder(pagesFolder);
    return settled                      ? Settling::settled
           : settleBlockerUnreachable() ? Settling::unreachable
                                        : Settling::unfinished;
}

bool forgetInterruptedInstall()
{
    // Never a journal whose writer runs, nor a later release's.
    if (installIsRunning())
        return false;
    const bool forgotten = removeJournal();
    logOutcome("interrupted install forgotten", settleBlocker(), forgotten);
    return forgotten;
}
