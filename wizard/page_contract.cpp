// The notification contract shared by the four wizard pages.
#include "page_contract.h"

#include <commctrl.h>

INT_PTR answerPageNotify(HWND page, UINT code, DWORD buttons, bool lastPage)
{
    switch (code) {
    case PSN_SETACTIVE:
        // Posted: the buttons change after the frame has finished activating the page.
        PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, buttons);
        return TRUE;
    case PSN_KILLACTIVE:
        SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    case PSN_RESET:
        return TRUE;
    case PSN_WIZNEXT:
        return !lastPage;
    default:
        return FALSE;
    }
}
