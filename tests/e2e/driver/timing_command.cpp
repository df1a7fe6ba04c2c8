// Timing for `make bench`: from pressing a window's button to the window's
// close, measured in the driver's one process so that no Wine process start
// is counted. finish-timed presses our wizard's Finish; press-timed presses a
// button of any top-level window found by its title, such as the peer's
// Install.
#include "driver.h"

#include <prsht.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

constexpr DWORD closePollMs = 1;   // the frame's close is seen within about this
constexpr DWORD idleWaitMs = 2000;  // for the window's process to finish showing its page

// Posts the press to window and waits for the window to be gone; prints
// "label: N ms", the time from the post to the close.
int timeUntilClosed(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* label)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PostMessageW(window, message, wParam, lParam);
    for (;;) {
        QueryPerformanceCounter(&now);
        const double elapsedMs = double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
        if (!IsWindow(window)) {
            printf("%s: %.1f ms\n", label, elapsedMs);
            return 0;
        }
        if (elapsedMs >= waitLimitMs)
            return reportTimeout("the window is still open");
        Sleep(closePollMs);
    }
}

struct TitledButton {
    WCHAR title[textCapacity];
    int control;
};

// A visible top-level window of that title whose control is shown and enabled.
HWND windowWithButton(const void* context)
{
    const TitledButton* wanted = static_cast<const TitledButton*>(context);
    HWND window = FindWindowW(nullptr, wanted->title);
    if (!window || !IsWindowVisible(window))
        return nullptr;
    HWND button = GetDlgItem(window, wanted->control);
    return button && IsWindowVisible(button) && IsWindowEnabled(button) ? window : nullptr;
}

} // namespace

int finishTimedCommand(int argc, char**)
{
    if (argc != 0)
        return reportUsage("finish-timed");
    HWND wizard = waitForWindow([](const void*) { return findWizard(); }, nullptr);
    if (!wizard)
        return reportTimeout("no wizard window");
    return timeUntilClosed(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0, "finish to close");
}

int pressTimedCommand(int argc, char** argv)
{
    TitledButton wanted;
    if (argc != 2 || !widen(argv[0], wanted.title, textCapacity) || (wanted.control = atoi(argv[1])) <= 0)
        return reportUsage("press-timed");
    HWND window = waitForWindow(windowWithButton, &wanted);
    if (!window)
        return reportTimeout("no window with that title and button");
    // The page is shown in full before the press, as a user would see it.
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process)) {
        WaitForInputIdle(handle, idleWaitMs);
        CloseHandle(handle);
    }
    HWND button = GetDlgItem(window, wanted.control);
    if (!button || !IsWindowEnabled(button))
        return reportTimeout("the button is not enabled");
    // As a click on the button tells its window.
    return timeUntilClosed(window, WM_COMMAND, MAKEWPARAM(wanted.control, BN_CLICKED),
                           reinterpret_cast<LPARAM>(button), "press to close");
}
