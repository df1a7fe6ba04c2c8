// Finding the installer's windows from outside its process.
#include "driver.h"

#include <stdio.h>

#include <commctrl.h>

DWORD waitLimitMs = 20000;

namespace {

constexpr DWORD pollIntervalMs = 50;
constexpr int wizardNextButton = 0x3024;
constexpr int messageBoxText = 0xFFFF;   // the message box's text control

struct Search {
    bool (*matches)(HWND window);
    HWND found;
};

bool isVisibleDialog(HWND window)
{
    char className[16];
    return IsWindowVisible(window) && GetClassNameA(window, className, sizeof className) &&
           lstrcmpA(className, "#32770") == 0;
}

bool isWizard(HWND window)
{
    return isVisibleDialog(window) && GetDlgItem(window, wizardNextButton);
}

bool isMessageBox(HWND window)
{
    return isVisibleDialog(window) && !GetDlgItem(window, wizardNextButton) &&
           GetDlgItem(window, messageBoxText);
}

BOOL CALLBACK visitTopLevel(HWND window, LPARAM context)
{
    Search* search = reinterpret_cast<Search*>(context);
    if (!search->matches(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND findTopLevel(bool (*matches)(HWND))
{
    Search search = {matches, nullptr};
    EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

HWND findWizard()
{
    return findTopLevel(isWizard);
}

HWND findMessageBox()
{
    return findTopLevel(isMessageBox);
}

HWND waitForWindow(HWND (*test)(const void* context), const void* context)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = test(context))
            return window;
        if (GetTickCount() - start >= waitLimitMs)
            return nullptr;
        Sleep(pollIntervalMs);
    }
}

int reportTimeout(const char* what)
{
    printf("timeout: %s\n", what);
    return 1;
}
