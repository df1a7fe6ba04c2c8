// Kestrun.exe: removes the installed book. Started from the pages folder (the
// "UninstallString"), it asks once and hands the work to a copy of itself in
// the temp folder, which removes everything including the original. With /S
// ("QuietUninstallString") it asks nothing and shows nothing; /LOG=file logs
// every action; /FORGET forgets an interrupted install that cannot be
// settled, as the question the uninstaller asks then would. The process that
// was started ends only once the removal is done, with its result as the
// exit code:
//   0 everything was removed (or nothing was installed here)
//   1602 the user answered No, 1603 something stayed, and the key with the
//   uninstaller stays for another run (or its folder was refused: nothing
//   was removed), 1618 an install is running, or an interrupted one cannot
//   be settled now (nothing was removed), 87 a bad command line or a log
//   that is refused.
// Only the uninstaller's own file and folder go after that; should they stay,
// a run that may show boxes says so, but the exit code is given by then.
//
// The program has its own entry point and no C runtime start-up: it needs none,
// and that keeps it a few kilobytes, as befits a payload entry.
#include "removal.h"
#include "self_removal.h"

#include "arguments.h"
#include "change_lock.h"
#include "install_log.h"
#include "install_record.h"
#include "path_text.h"
#include "process_guard.h"
#include "product.h"
#include "safe_folder.h"

static const char questionText[] =
    "Do you want to remove " TOLM_PRODUCT_NAME " and its desktop icon from this computer?";
static const char nothingText[] =
    "There is nothing to remove: " TOLM_PRODUCT_NAME " is not installed in this folder.";
static const WCHAR errorCaption[] = L"Error during uninstall:";   // for MessageBoxW: the report lists paths
// The ASCII parts of the messages that name a path, widened as they are composed.
static const char usageLine[] = "Kestrun.exe [/S] [/LOG=file] [/FORGET]\n\n";
static const char commandProblem[] = "This command line is not understood:\n";
static const char logProblem[] = "This log file cannot be written:\n";
static const char logRefusedProblem[] = "This log file is a link, has other names or lies in a linked folder:\n";
static const char logUncheckedProblem[] = "This log file cannot be checked:\n";
static const char folderRefusedFormat[] =
    "%s\n\nThis folder or one above it is a link (a junction, symbolic link or mount point), so the book's files "
    "could lie elsewhere. Nothing was removed.";
static const char folderUncheckedFormat[] =
    "%s\n\nThis folder cannot be checked: the system cannot tell which folder it is, or one above it cannot be "
    "read. Nothing was removed.";
static const char folderStaysFormat[] = "The book was removed. This folder stays:\n%s\n\nIt holds what is not the book's.";

constexpr int messageCapacity = reportCapacity + 100;

// The report and its message take 4 KB each in UTF-16, more than a stack frame
// may hold, so they live in .bss. A process makes only one of the runs below,
// and only once.
static RemovalReport report;

static void showReport()
{
    static WCHAR message[messageCapacity];
    composeReportText(report, message, messageCapacity);
    MessageBoxW(nullptr, message, errorCaption, MB_ICONERROR | MB_SETFOREGROUND);
}

// Composes format with path into a message of its own, logs it, and shows it
// unless silent.
static void showPathMessage(const char* format, const WCHAR* path, bool silent, UINT icon)
{
    static WCHAR message[pathCapacity + 300];
    composePathMessage(message, sizeof message / sizeof(WCHAR), format, path);
    logAction("message", message, "");
    if (!silent)
        MessageBoxW(nullptr, message, icon == MB_ICONERROR ? errorCaption : L"" TOLM_PRODUCT_NAME,
                    icon | MB_SETFOREGROUND);
}

// Says, once the uninstaller's own file and folder are done with, what is
// not the book's and stays, and so does its folder: the message names the
// folder. Shows the list of what could not be removed instead, unless silent.
static void showWhatStays(bool silent)
{
    if (hasFailures(report)) {
        if (!silent)
            showReport();
    } else if (report.stays[0]) {
        showPathMessage(folderStaysFormat, report.stays, silent, MB_ICONINFORMATION);
    }
}

// Shows (unless silent) what stayed; every line of it is in the log already.
// The result: 0 when everything of the book went, 1603 when something
// stayed.
static DWORD concludeRemoval(bool silent)
{
    if (!hasFailures(report)) {
        logText("result", "removed (exit code 0)");
        return ERROR_SUCCESS;
    }
    logText("result", "something stayed (exit code 1603)");
    if (!silent)
        showReport();
    return ERROR_INSTALL_FAILURE;
}

static DWORD refuseWhileInstalling(bool silent)
{
    logText("message", installRunningText);
    if (!silent)
        MessageBoxA(nullptr, installRunningText, productName, MB_ICONERROR | MB_SETFOREGROUND);
    logText("result", "an install or removal is running (exit code 1618)");
    return ERROR_INSTALL_ALREADY_RUNNING;
}

// An install killed halfway is settled first, under the change lock, which
// the removal then keeps until its last change: rolled back, the earlier install it replaced is
// whole again, and its key is restored. Then the result of the removal; 1618
// when another install or removal holds the lock or its run goes on after
// all, or when its journal stays (refused, or not settled now, and not
// forgotten): then nothing may be removed, as the key holds the journal.
static DWORD settleFirst(bool silent, bool forget)
{
    const Settling settling = settleInterruptedInstall();
    if (settling == Settling::nothing || settling == Settling::settled ||
        answerUnsettled(settling, errorCaption, silent, forget))
        return ERROR_SUCCESS;
    logText("result", "an interrupted install is not settled (exit code 1618)");
    return ERROR_INSTALL_ALREADY_RUNNING;
}

// Says that no install is registered at exePath, so nothing is removed.
static DWORD concludeNothing(bool silent)
{
    logText("result", "nothing to remove (exit code 0)");
    if (!silent)
        MessageBoxA(nullptr, nothingText, productName, MB_ICONINFORMATION);
    return ERROR_SUCCESS;
}

// The temp copy: removes the book, reports to the original, and once the
// original has ended removes it and its folder, and leaves its own.
static DWORD finishRemoval(const RemovalCommand& command)
{
    static InstalledBook book;
    if (command.log)
        useLog(command.log);
    DWORD result = settleFirst(command.silent, command.forget);
    // A settle may have taken back the install that the key named.
    const bool registered = result == ERROR_SUCCESS && readRegisteredBook(command.exePath, book);
    if (registered)
        removeBook(book, report);
    // The last change is made: what follows only reports it.
    releaseChangeLock();
    if (result == ERROR_SUCCESS)
        result = registered ? concludeRemoval(command.silent) : concludeNothing(command.silent);
    sendResult(command.resultPipe, result);
    if (!registered || result != ERROR_SUCCESS) {
        leavePrivateFolder(command.copyFile, command.copyFolder);
        return result;
    }
    // Anything listed now is the uninstaller's own, shown on its own.
    // Where something of the book stayed, so does the uninstaller, to be
    // run again. It goes under the lock too, once the original has ended
    // and an install that may have begun since has ended; an install that
    // registered this very file again has made it its own. An original that
    // lingers, or a lock held all that time, leaves its file to the next
    // start of the system.
    report.length = 0;
    report.unlisted = 0;
    const bool ended = waitForOriginal(command.original);
    const bool locked = ended && takeChangeLock(originalWaitLimit) != ChangeLock::busy;
    if (!keyNamesUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, command.exePath)) {
        if (!locked)
            logText("the uninstaller's file", ended ? "the change lock stays held" : "its process goes on");
        removeUninstaller(book, locked ? SelfRemoval::now : SelfRemoval::atNextStart, report);
    }
    releaseChangeLock();
    showWhatStays(command.silent);
    leavePrivateFolder(command.copyFile, command.copyFolder);
    return result;
}

// The book's folder reached without a link; otherwise says why nothing is removed.
static bool folderIsUsable(const WCHAR* exePath, bool silent)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, exePath);
    HANDLE held = INVALID_HANDLE_VALUE;
    const FolderVerdict verdict =
        cutToFolder(folder) > 0 ? holdFolderLogged(folder, held) : FolderVerdict::unreadable;
    releaseFolder(held);
    if (verdict == FolderVerdict::usable)
        return true;
    showPathMessage(verdict == FolderVerdict::linked ? folderRefusedFormat : folderUncheckedFormat, folder, silent,
                    MB_ICONERROR);
    logText("result", "folder refused (exit code 1603)");
    return false;
}

// Reads /S, /FORGET and /LOG=file; false at anything else, with the
// options before it read.
static bool readOptions(bool& silent, bool& forget, WCHAR* log, WCHAR* bad)
{
    WCHAR argument[pathCapacity + 8];
    Argument where;
    silent = false;
    forget = false;
    log[0] = L'\0';
    for (const WCHAR* cursor = skipProgramName(GetCommandLineW());
         (cursor = nextArgument(cursor, argument, pathCapacity + 8, where)) != nullptr;) {
        if (isOption(argument, "/S")) {
            silent = true;
        } else if (isOption(argument, "/FORGET")) {
            forget = true;
        } else if (startsWithOption(argument, "/LOG=") && argument[5] && !where.tooLong &&
                   lstrlenW(argument + 5) < pathCapacity) {
            lstrcpyW(log, argument + 5);
        } else {
            lstrcpynW(bad, argument, pathCapacity);
            return false;
        }
    }
    return true;
}

// The installed uninstaller: checks, asks, starts the temp copy and waits for its result.
static DWORD askAndRemove()
{
    static WCHAR log[pathCapacity];
    static WCHAR bad[pathCapacity];
    bool silent = false;
    bool forget = false;
    const bool understood = readOptions(silent, forget, log, bad);
    const LogOpening logOpening = log[0] ? openLog(log) : LogOpening::opened;
    if (!understood || logOpening != LogOpening::opened) {
        // A log given before a bad argument says what was not understood.
        if (!understood) {
            logAction("command line", GetCommandLineW(), "");
            logAction("not understood", bad, "");
            logText("result", "bad command line (exit code 87)");
        }
        if (!silent) {
            static WCHAR message[pathCapacity + 200];
            const char* problem = !understood                              ? commandProblem
                                  : logOpening == LogOpening::refused   ? logRefusedProblem
                                  : logOpening == LogOpening::unchecked ? logUncheckedProblem
                                                                        : logProblem;
            wsprintfW(message, L"%S%S%s", usageLine, problem, understood ? log : bad);
            MessageBoxW(nullptr, message, errorCaption, MB_ICONERROR);
        }
        return ERROR_INVALID_PARAMETER;
    }
    logAction("command line", GetCommandLineW(), "");
    // Before the question: the removal would find the same. The question
    // itself holds no lock.
    const bool lockBusy = takeChangeLock() == ChangeLock::busy;
    releaseChangeLock();
    if (lockBusy || installIsRunning())
        return refuseWhileInstalling(silent);

    WCHAR exePath[pathCapacity];
    DWORD length = GetModuleFileNameW(nullptr, exePath, pathCapacity);
    if (length == 0 || length >= DWORD(pathCapacity))
        return ERROR_INSTALL_FAILURE;
    // Started through a short name, the path would match neither the key nor
    // the links. The system writes the long form over it only when it has all of it.
    GetLongPathNameW(exePath, exePath, pathCapacity);
    if (!folderIsUsable(exePath, silent))
        return ERROR_INSTALL_FAILURE;
    // Only the install the key names is removed, and only from its own
    // folder: a copy elsewhere touches nothing. An interrupted install is
    // settled first, and may leave one.
    static InstalledBook book;
    if (!readRegisteredBook(exePath, book) && !journalIsPresent())
        return concludeNothing(silent);
    // No is the default button: a stray Enter removes nothing.
    UINT style = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND;
    if (!silent && MessageBoxA(nullptr, questionText, productName, style) != IDYES) {
        logText("result", "cancelled (exit code 1602)");
        return ERROR_INSTALL_USEREXIT;
    }
    HANDLE resultPipe = nullptr;
    if (startRemovalCopy(exePath, silent, forget, resultPipe))
        return waitForResult(resultPipe);
    const DWORD settled = settleFirst(silent, forget);
    if (settled != ERROR_SUCCESS)
        return settled;
    if (!readRegisteredBook(exePath, book)) {
        releaseChangeLock();
        return concludeNothing(silent);
    }
    removeInstalledBook(book, SelfRemoval::atNextStart, report);
    releaseChangeLock();
    const DWORD result = concludeRemoval(silent);
    showWhatStays(silent);
    return result;
}

extern "C" void WINAPI kestrunEntry()
{
    guardProcess();
    static RemovalCommand command;
    DWORD result;
    if (parseRemovalCommand(GetCommandLineW(), command))
        result = finishRemoval(command);
    else
        result = askAndRemove();
    closeLog();
    ExitProcess(result);
}
