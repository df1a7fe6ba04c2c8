// Timing for `make bench`: from pressing Finish to the wizard's close, measured
// in the driver's one process so that no Wine process start is counted.
#include "driver.h"

#include <prsht.h>
#include <stdio.h>

namespace {

constexpr DWORD closePollMs = 1;   // the frame's close is seen within about this

} // namespace

int finishTimedCommand(int argc, char**)
{
    if (argc != 0)
        return reportUsage("finish-timed");
    HWND wizard = waitForWindow([](const void*) { return findWizard(); }, nullptr);
    if (!wizard)
        return reportTimeout("no wizard window");
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PostMessageA(wizard, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    for (;;) {
        QueryPerformanceCounter(&now);
        const double elapsedMs = double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
        if (!IsWindow(wizard)) {
            printf("finish to close: %.1f ms\n", elapsedMs);
            return 0;
        }
        if (elapsedMs >= waitLimitMs)
            return reportTimeout("the wizard is still open");
        Sleep(closePollMs);
    }
}
