// Kestrun.exe: removes the installed book. Started with no arguments from the
// pages folder (the "UninstallString"), it asks once and hands the work to a copy
// of itself in the temp folder, which removes everything including the original.
//
// The program has its own entry point and no C runtime start-up: it needs none,
// and that keeps it a few kilobytes, as befits a payload entry.
#include "removal.h"

#include "dll_search.h"
#include "install_record.h"
#include "product.h"

static const char questionText[] =
    "Do you want to remove " TOLM_PRODUCT_NAME " and its desktop icon from this computer?";
static const char nothingText[] =
    "There is nothing to remove: " TOLM_PRODUCT_NAME " is not installed in this folder.";
static const WCHAR errorCaption[] = L"Error during uninstall:";   // for MessageBoxW: the report lists paths

constexpr int messageCapacity = reportCapacity + 100;

// The report and its message take 4 KB each in UTF-16, more than a stack frame
// may hold, so they live in .bss. A process makes only one of the two runs
// below, and only once.
static void showReport(const RemovalReport& report)
{
    static WCHAR message[messageCapacity];
    composeReportText(report, message, messageCapacity);
    MessageBoxW(nullptr, message, errorCaption, MB_ICONERROR | MB_SETFOREGROUND);
}

// The temp copy: waits for the original to end, then removes everything.
static void finishRemoval(const RemovalCommand& command)
{
    if (!waitForOriginal(command.original))
        return;
    static RemovalReport report;
    // An install killed halfway is settled first: rolled back, the earlier
    // install it replaced is whole again, and its key is restored.
    settleInterruptedInstall();
    removeInstalledBook(command.exePath, SelfRemoval::now, report);
    if (hasFailures(report))
        showReport(report);
}

// The installed uninstaller: checks, asks, and starts the temp copy.
static void askAndRemove()
{
    WCHAR exePath[pathCapacity];
    DWORD length = GetModuleFileNameW(nullptr, exePath, pathCapacity);
    if (length == 0 || length >= DWORD(pathCapacity))
        return;
    // Started through a short name, the path would match neither the key nor the links.
    WCHAR longPath[pathCapacity];
    length = GetLongPathNameW(exePath, longPath, pathCapacity);
    if (length > 0 && length < DWORD(pathCapacity))
        lstrcpyW(exePath, longPath);
    if (!bookIsPresent(exePath)) {
        MessageBoxA(nullptr, nothingText, productName, MB_ICONINFORMATION);
        return;
    }
    // No is the default button: a stray Enter removes nothing.
    UINT style = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND;
    if (MessageBoxA(nullptr, questionText, productName, style) != IDYES)
        return;
    if (startRemovalCopy(exePath))
        return;
    static RemovalReport report;
    settleInterruptedInstall();
    removeInstalledBook(exePath, SelfRemoval::atNextStart, report);
    if (hasFailures(report))
        showReport(report);
}

extern "C" void WINAPI kestrunEntry()
{
    restrictDllSearch();
    RemovalCommand command;
    if (parseRemovalCommand(GetCommandLineW(), command))
        finishRemoval(command);
    else
        askAndRemove();
    ExitProcess(0);
}
