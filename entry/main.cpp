// Program entry. Only one copy of the installer shows its wizard at a time: a
// later copy brings the running one's wizard forward and ends. The command line
// is not read, and the exit code is always 0.
//
// The process enters at tolmEntry with no C runtime start-up before it (see
// tolm_bare_entry in cmake/product.cmake): nothing here needs one, and the
// runtime's code would double the size of the executable without the payload.
#include <windows.h>

#include "abi_names.h"
#include "common_controls.h"
#include "dll_search.h"
#include "install_record.h"
#include "messages.h"
#include "pages.h"
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

void showWizard()
{
    installSettings.appInstance = GetModuleHandleA(nullptr);
    // An install that was killed is settled before anything is offered: the
    // pages page then proposes the install that is really there.
    settleInterruptedInstall();
    // Without the common controls there is no wizard, as when PropertySheetA
    // answers -1 for a wizard window it could not create.
    if (!bindCommonControls() || runWizard() == -1) {
        // No wizard, so no owner: a page that did start is gone with the frame.
        installSettings.ownerWindow = nullptr;
        showInstallError(cannotCreateText);
    }
}

} // namespace

extern "C" void WINAPI tolmEntry()
{
    restrictDllSearch();
    initInstallSettings();
    if (InterlockedIncrement(&instanceCounter) != 1)
        raiseRunningCopy();
    else
        showWizard();
    InterlockedDecrement(&instanceCounter);
    ExitProcess(0);
}
