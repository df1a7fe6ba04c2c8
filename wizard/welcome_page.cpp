// The welcome page: the first page, titled with the wizard caption. It gives
// the frame the program's icon and becomes the owner of every later message box.
#include "pages.h"
#include "page_contract.h"

#include <commctrl.h>

#include "resource_ids.h"
#include "settings.h"

namespace {

// The page and the frame share the platform's dialog class, so setting the
// class icon puts the book icon into the frame's title bar.
void showProgramIcon(HWND page)
{
    HICON icon = LoadIconA(installSettings.appInstance, MAKEINTRESOURCEA(IDI_BOOK));
    if (icon)
        SetClassLongPtrA(page, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
}

void removeSizeCommands(HWND page)
{
    HMENU menu = GetSystemMenu(page, FALSE);
    if (!menu)
        return;
    DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
}

INT_PTR handleInit(HWND page)
{
    showProgramIcon(page);
    removeSizeCommands(page);
    installSettings.ownerWindow = page;
    return TRUE;
}

} // namespace

INT_PTR CALLBACK welcomePageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return handleInit(page);
    case WM_NOTIFY:
        return answerPageNotify(page, reinterpret_cast<const NMHDR*>(lParam)->code, PSWIZB_NEXT, false);
    default:
        return FALSE;
    }
}
