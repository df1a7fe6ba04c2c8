// Kestrun.exe: removes the installed book. Started with no arguments from the
// pages folder (the "UninstallString"), it asks once and hands the work to a copy
// of itself in the temp folder, which removes everything including the original.
//
// The program has its own entry point and no C runtime start-up: it needs none,
// and that keeps it a few kilobytes, as befits a payload entry.
#include "removal.h"

#include "dll_search.h"
#include "product.h"

static const char questionText[] =
    "Do you want to remove " TOLM_PRODUCT_NAME " and its desktop icon from this computer?";
static const char nothingText[] =
    "There is nothing to remove: " TOLM_PRODUCT_NAME " is not installed in this folder.";
static const char errorCaption[] = "Error during uninstall:";

constexpr int messageCapacity = reportCapacity + 100;

static void showReport(const RemovalReport& report)
{
    char message[messageCapacity];
    composeReportText(report, message, messageCapacity);
    MessageBoxA(nullptr, message, errorCaption, MB_ICONERROR | MB_SETFOREGROUND);
}

// The temp copy: waits for the original to end, then removes everything.
static void finishRemoval(const RemovalCommand& command)
{
    if (!waitForOriginal(command.original))
        return;
    RemovalReport report = {};
    removeInstalledBook(command.exePath, SelfRemoval::now, report);
    if (hasFailures(report))
        showReport(report);
}

// The installed uninstaller: checks, asks, and starts the temp copy.
static void askAndRemove()
{
    char exePath[pathCapacity];
    DWORD length = GetModuleFileNameA(nullptr, exePath, pathCapacity);
    if (length == 0 || length >= DWORD(pathCapacity))
        return;
    // Started through a short name, the path would match neither the key nor the links.
    char longPath[pathCapacity];
    length = GetLongPathNameA(exePath, longPath, pathCapacity);
    if (length > 0 && length < DWORD(pathCapacity))
        lstrcpyA(exePath, longPath);
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
    RemovalReport report = {};
    removeInstalledBook(exePath, SelfRemoval::atNextStart, report);
    if (hasFailures(report))
        showReport(report);
}

extern "C" void WINAPI kestrunEntry()
{
    restrictDllSearch();
    RemovalCommand command;
    if (parseRemovalCommand(GetCommandLineA(), command))
        finishRemoval(command);
    else
        askAndRemove();
    ExitProcess(0);
}
