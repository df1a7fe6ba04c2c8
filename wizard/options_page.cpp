// The options page: the last page. Its check box chooses the variant book, and
// its Finish runs the whole install before the wizard closes.
#include "pages.h"
#include "page_contract.h"

#include <commctrl.h>

#include "install.h"
#include "resource_ids.h"
#include "settings.h"

namespace {

// Ticked unless the command line chose the plain book.
INT_PTR handleInit(HWND page)
{
    SendDlgItemMessageA(page, IDC_SPECIFIC_BOOK, BM_SETCHECK,
                        installSettings.specificBook ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

// Runs synchronously inside the notification: the wizard takes no input until
// the install ends, and then closes whether it succeeded or not, because the
// install reports its own failures.
INT_PTR handleFinish(HWND page)
{
    LRESULT state = SendDlgItemMessageA(page, IDC_SPECIFIC_BOOK, BM_GETCHECK, 0, 0);
    installSettings.specificBook = static_cast<unsigned char>(state & 0xFF);
    installSettings.exitCode = runInstall();
    SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
    return TRUE;
}

INT_PTR handleNotify(HWND page, const NMHDR* header)
{
    if (header->code == PSN_WIZFINISH)
        return handleFinish(page);
    return answerPageNotify(page, header->code, PSWIZB_BACK | PSWIZB_FINISH, true);
}

} // namespace

INT_PTR CALLBACK optionsPageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return handleInit(page);
    case WM_NOTIFY:
        return handleNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    default:
        return FALSE;
    }
}
