// Program entry. Only one copy of the installer works at a time: a later copy
// brings the running one's wizard forward and ends, or, silent, ends at once
// with 1618. The command line (command_line.h) may make the run silent, log
// it and choose what the wizard would; the exit code says how it ended:
//   0 installed (or only the running copy raised, or the usage shown)
//   1602 cancelled, 1603 failed and rolled back (or its rollback left for the
//   next start), 1618 another copy runs, another install or removal runs
//   under any name, or an interrupted install is not settled, 87 a bad
//   command line.
//
// The process enters at tolmEntry with no C runtime start-up before it (see
// tolm_bare_entry in cmake/product.cmake): nothing here needs one, and the
// runtime's code would double the size of the executable without the payload.
#include <windows.h>

#include "abi_names.h"
#include "change_lock.h"
#include "command_line.h"
#include "common_controls.h"
#include "install.h"
#include "install_log.h"
#include "install_options.h"
#include "install_record.h"
#include "messages.h"
#include "pages.h"
#include "process_guard.h"
#include "product.h"
#include "settings.h"

// Running copies of this executable file: 0 while none runs. The section is
// shared by every process that maps this file, and the system discards it when
// the last such process ends, so the count starts again at 0. It is declared
// uninitialised ("b"), so the section takes no bytes in the file: the loader
// zero-fills it, where a section with contents would cost a whole 512-byte
// file block for four bytes. The compiler cannot mark a shared section so.
asm(".section Shared,\"bws\"\n"
    "\t.balign 4\n"
    "\t.globl " TOLM_ASM_NAME(instanceCounter) "\n"
    TOLM_ASM_NAME(instanceCounter) ":\n"
    "\t.space 4\n"
    "\t.text");
extern volatile LONG instanceCounter;

namespace {

constexpr char cannotCreateText[] = "Can't create window!";
constexpr char unwritableProblem[] = "cannot be written";
constexpr char refusedLogProblem[] = "is a link, has other names or lies in a linked folder, and is not written";
constexpr char uncheckedLogProblem[] = "cannot be checked";

// The options, too large for the entry's frame.
InstallOptions options;

// The running copy's frame bears the wizard caption only while its welcome
// page shows; on any other page nothing is found and this copy ends silently.
void raiseRunningCopy()
{
    HWND running = FindWindowA(nullptr, wizardCaption);
    installSettings.ownerWindow = running;
    if (!running)
        return;
    if (IsIconic(running))
        ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
}

int showWizard()
{
    // Without the common controls there is no wizard, as when PropertySheetA
    // answers -1 for a wizard window it could not create.
    const ShowPropertySheet showSheet = bindCommonControls();
    if (!showSheet || runWizard(showSheet) == -1) {
        // No wizard, so no owner: a page that did start is gone with the frame.
        installSettings.ownerWindow = nullptr;
        showInstallError(cannotCreateText);
        return ERROR_INSTALL_FAILURE;
    }
    return installSettings.exitCode;
}

// The first copy: settles what a killed run left, which takes the change
// lock (change_lock.h), takes the options, and installs silently or through
// the wizard.
int runFirstCopy()
{
    // An install that was killed is settled before anything is offered: the
    // pages page then proposes the install that is really there. One that
    // another copy, under any name, still runs is that copy's. A journal that
    // stays, refused or not yet settled, is never overwritten by a new run:
    // nothing is changed until it is settled, or forgotten.
    const Settling settling = settleInterruptedInstall();
    if (settling != Settling::nothing && settling != Settling::settled &&
        !answerUnsettled(settling, L"Error during install:", options.silent, options.forget))
        return ERROR_INSTALL_ALREADY_RUNNING;
    // A journal that stayed and got this far was forgotten: the run forgets,
    // too, a folder that cannot be reached at its own end.
    installSettings.forget = options.forget || settling > Settling::settled;
    if (!applyInstallOptions(options))
        return ERROR_INVALID_PARAMETER;
    if (options.silent)
        return runInstall();
    // A wizard that merely shows holds no lock: its Finish takes it.
    releaseChangeLock();
    return showWizard();
}

const char* resultText(int code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return "done";
    case ERROR_INSTALL_USEREXIT:
        return "cancelled";
    case ERROR_INSTALL_FAILURE:
        return installSettings.changed ? "failed, rolled back" : "refused, nothing was changed";
    case ERROR_INSTALL_ALREADY_RUNNING:
        return "another install runs or is not settled";
    default:
        return "bad command line";
    }
}

int run()
{
    const bool understood = parseInstallOptions(GetCommandLineW(), options);
    installSettings.silent = options.silent;
    installSettings.appInstance = GetModuleHandleA(nullptr);
    // The log comes first: every message from here on goes to it.
    const LogOpening logOpening = options.logGiven ? openLog(options.log) : LogOpening::opened;
    if (logOpening != LogOpening::opened) {
        wchar_t argument[optionQuoteCapacity];
        wsprintfW(argument, L"/LOG=%.70s", options.log);
        reportBadArgument(argument, logOpening == LogOpening::refused     ? refusedLogProblem
                                    : logOpening == LogOpening::unchecked ? uncheckedLogProblem
                                                                          : unwritableProblem);
        return ERROR_INVALID_PARAMETER;
    }
    logAction("command line", GetCommandLineW(), "");
    if (!understood) {
        reportBadArgument(options.badArgument, options.problem);
        return ERROR_INVALID_PARAMETER;
    }
    if (options.usage) {
        logText("usage", usageText);
        if (!options.silent)
            MessageBoxA(nullptr, usageText, wizardCaption, MB_OK | MB_ICONINFORMATION);
        return ERROR_SUCCESS;
    }
    int code = ERROR_SUCCESS;
    if (InterlockedIncrement(&instanceCounter) == 1)
        code = runFirstCopy();
    else if (options.silent)
        code = ERROR_INSTALL_ALREADY_RUNNING;   // touches nothing, raises nothing
    else
        raiseRunningCopy();
    InterlockedDecrement(&instanceCounter);
    return code;
}

} // namespace

extern "C" void WINAPI tolmEntry()
{
    guardProcess();
    initInstallSettings();
    const int code = run();
    char result[64];
    wsprintfA(result, "%s (exit code %d)", resultText(code), code);
    logText("result", result);
    closeLog();
    ExitProcess(code);
}
