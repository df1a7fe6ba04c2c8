// The two destination pages: "Where to install book icon" and "Where to install pages".
// They follow the wizard's notification contract and offer Back and Next.
#include "pages.h"

#include <commctrl.h>

namespace {

// Answers the frame's notifications the same way on both pages.
INT_PTR handleDestinationNotify(HWND page, const NMHDR* header)
{
    switch (header->code) {
    case PSN_SETACTIVE:
        PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_NEXT);
        return TRUE;
    case PSN_KILLACTIVE:
        SetWindowLongA(page, DWL_MSGRESULT, FALSE);
        return TRUE;
    case PSN_RESET:
    case PSN_WIZNEXT:
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK iconPageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_NOTIFY:
        return handleDestinationNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK pagesPageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_NOTIFY:
        return handleDestinationNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    default:
        return FALSE;
    }
}
