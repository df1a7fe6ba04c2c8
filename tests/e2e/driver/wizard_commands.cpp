// Commands on the wizard frame: its title, its buttons, the current page.
#include "driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <commctrl.h>

namespace {

struct Button {
    const char* name;
    int control;      // the frame's control id
    int pressCode;    // PSM_PRESSBUTTON's code
};

const Button buttons[] = {
    {"back", 0x3023, PSBTN_BACK},
    {"next", 0x3024, PSBTN_NEXT},
    {"finish", 0x3025, PSBTN_FINISH},
    {"cancel", IDCANCEL, PSBTN_CANCEL},
};

constexpr DWORD settleMs = 150;   // pages post their buttons after activation
constexpr int settleRounds = 40;

HWND wizardSearch(const void*)
{
    return findWizard();
}

HWND waitForWizard()
{
    HWND wizard = waitForWindow(wizardSearch, nullptr);
    if (!wizard)
        reportTimeout("no wizard window");
    return wizard;
}

HWND wizardTitled(const void* text)
{
    HWND wizard = findWizard();
    WCHAR title[textCapacity] = L"";
    if (wizard && GetWindowTextW(wizard, title, textCapacity) &&
        lstrcmpW(title, static_cast<const WCHAR*>(text)) == 0)
        return wizard;
    return nullptr;
}

HWND wizardGone(const void*)
{
    // Any non-null handle ends the wait: the desktop stands for "no wizard".
    return findWizard() ? nullptr : GetDesktopWindow();
}

// Which buttons a user can press now: shown and enabled, as a bit set.
unsigned usableButtons(HWND wizard)
{
    unsigned usable = 0;
    for (unsigned i = 0; i < sizeof buttons / sizeof buttons[0]; i++) {
        HWND button = GetDlgItem(wizard, buttons[i].control);
        if (button && IsWindowVisible(button) && IsWindowEnabled(button))
            usable |= 1u << i;
    }
    return usable;
}

// The buttons change when the frame handles the page's posted request, just
// after the page becomes current: read until two reads in a row agree.
unsigned settledButtons(HWND wizard)
{
    DWORD process = 0;
    GetWindowThreadProcessId(wizard, &process);
    if (HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process)) {
        WaitForInputIdle(handle, settleMs * 4);
        CloseHandle(handle);
    }
    unsigned last = usableButtons(wizard);
    for (int round = 0; round < settleRounds; round++) {
        Sleep(settleMs);
        unsigned now = usableButtons(wizard);
        if (now == last)
            break;
        last = now;
    }
    return last;
}

HWND currentPage(HWND wizard)
{
    return reinterpret_cast<HWND>(SendMessageA(wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
}

bool isChecked(HWND control)
{
    return SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The control id on the wizard's current page, or null with a message.
HWND pageControl(const char* idText)
{
    HWND wizard = waitForWizard();
    if (!wizard)
        return nullptr;
    HWND control = GetDlgItem(currentPage(wizard), atoi(idText));
    if (!control)
        printf("error: no control %s on the current page\n", idText);
    return control;
}

} // namespace

int waitTitleCommand(int argc, char** argv)
{
    if (argc != 1)
        return reportUsage("wait-title");
    WCHAR wanted[textCapacity];
    if (!widen(argv[0], wanted, textCapacity))
        return reportUsage("wait-title");
    HWND wizard = waitForWindow(wizardTitled, wanted);
    if (!wizard) {
        if (HWND other = findWizard())
            printTitle("title", other);
        return reportTimeout("no wizard with that title");
    }
    printTitle("title", wizard);
    return 0;
}

int titleCommand(int argc, char**)
{
    if (argc != 0)
        return reportUsage("title");
    HWND wizard = waitForWizard();
    if (!wizard)
        return 1;
    printTitle("title", wizard);
    return 0;
}

int buttonsCommand(int argc, char**)
{
    if (argc != 0)
        return reportUsage("buttons");
    HWND wizard = waitForWizard();
    if (!wizard)
        return 1;
    unsigned usable = settledButtons(wizard);
    printf("buttons:");
    for (unsigned i = 0; i < sizeof buttons / sizeof buttons[0]; i++) {
        if (usable & (1u << i))
            printf(" %s", buttons[i].name);
    }
    printf("\n");
    return 0;
}

int pressCommand(int argc, char** argv)
{
    if (argc != 1)
        return reportUsage("press");
    for (const Button& button : buttons) {
        if (strcmp(button.name, argv[0]) != 0)
            continue;
        HWND wizard = waitForWizard();
        if (!wizard)
            return 1;
        // Posted, as a click would be: Finish runs the whole install before the
        // frame answers again.
        PostMessageA(wizard, PSM_PRESSBUTTON, button.pressCode, 0);
        printf("pressed: %s\n", button.name);
        return 0;
    }
    return reportUsage("press");
}

int checkCommand(int argc, char** argv)
{
    bool on = argc == 2 && strcmp(argv[1], "on") == 0;
    if (argc != 2 || (!on && strcmp(argv[1], "off") != 0))
        return reportUsage("check");
    HWND control = pageControl(argv[0]);
    if (!control)
        return 1;
    // A click, as the user gives it, so the box's own handling runs.
    if (isChecked(control) != on)
        SendMessageA(control, BM_CLICK, 0, 0);
    printf("check %s: %s\n", argv[0], isChecked(control) ? "on" : "off");
    return isChecked(control) == on ? 0 : 1;
}

int getCheckCommand(int argc, char** argv)
{
    if (argc != 1)
        return reportUsage("get-check");
    HWND control = pageControl(argv[0]);
    if (!control)
        return 1;
    printf("check %s: %s\n", argv[0], isChecked(control) ? "on" : "off");
    return 0;
}

int pageTextCommand(int argc, char** argv)
{
    if (argc != 1)
        return reportUsage("page-text");
    HWND control = pageControl(argv[0]);
    if (!control)
        return 1;
    WCHAR text[textCapacity] = L"";
    SendMessageW(control, WM_GETTEXT, textCapacity, reinterpret_cast<LPARAM>(text));
    char label[32];
    snprintf(label, sizeof label, "text %s", argv[0]);
    printText(label, text);
    return 0;
}

int waitGoneCommand(int argc, char**)
{
    if (argc != 0)
        return reportUsage("wait-gone");
    if (!waitForWindow(wizardGone, nullptr)) {
        // Most often a message box holds the wizard open: say which.
        if (HWND box = findMessageBox())
            printTitle("msgbox caption", box);
        return reportTimeout("the wizard is still open");
    }
    printf("wizard: gone\n");
    return 0;
}

int minimizeCommand(int argc, char**)
{
    if (argc != 0)
        return reportUsage("minimize");
    HWND wizard = waitForWizard();
    if (!wizard)
        return 1;
    ShowWindow(wizard, SW_MINIMIZE);
    printf("iconic: %d\n", IsIconic(wizard) ? 1 : 0);
    return IsIconic(wizard) ? 0 : 1;
}

int windowStateCommand(int argc, char**)
{
    if (argc != 0)
        return reportUsage("window-state");
    HWND wizard = waitForWizard();
    if (!wizard)
        return 1;
    printTitle("title", wizard);
    printf("iconic: %d\n", IsIconic(wizard) ? 1 : 0);
    printf("foreground: %d\n", GetForegroundWindow() == wizard ? 1 : 0);
    return 0;
}
