// The two destination pages: "Where to install book icon" and "Where to install pages".
// They follow the wizard's notification contract and offer Back and Next. When
// first shown, each page proposes a default below a system folder; its Browse
// button opens the folder browser, and its display control paints the path
// itself, with an ellipsis in the middle when it is too wide.
//
// The display controls never store a text: they paint straight from the
// destination buffers, so every repaint shows the current choice, with its
// real names whatever the ANSI code page can hold.
#include "pages.h"

#include "browse_folder.h"
#include "destination_defaults.h"
#include "page_contract.h"
#include "pages_folder.h"
#include "path_text.h"
#include "product.h"
#include "resource_ids.h"
#include "settings.h"

#include <commctrl.h>
#include <shlobj.h>

namespace {

constexpr char pagesBrowseTitle[] = "Choose where to install help files. (ie, C:)";
constexpr char iconBrowseTitle[] = "Choose where to create Desktop icons.";
static_assert(sizeof pagesBrowseTitle <= browseTitleCapacity && sizeof iconBrowseTitle <= browseTitleCapacity,
              "the browse titles fit their buffer");

// The static class's own procedure, to which both display subclasses forward.
WNDPROC savedStaticProc;

using DisplayText = const WCHAR* (*)(int* capacity);


// ---- display controls -------------------------------------------------------

const WCHAR* pagesDisplayText(int* capacity)
{
    *capacity = pathCapacity;
    return installSettings.pagesDestination.path;
}

// Only the part below the desktop directory. A path shorter than that prefix
// (the desktop itself, or a typed drive path) shows nothing.
const WCHAR* iconDisplayText(int* capacity)
{
    const WCHAR* path = installSettings.iconDestination.path;
    const int base = installSettings.desktopBaseLength;
    if (base < 0 || base >= pathCapacity || boundedLength(path, pathCapacity) < base) {
        *capacity = 0;
        return path;
    }
    *capacity = pathCapacity - base;
    return path + base;
}

// Drawn without DT_SINGLELINE or DT_MODIFYSTRING: the text starts at the top
// left, and the destination buffer is never changed by the ellipsis.
void paintPathText(HWND control, const WCHAR* text, int capacity)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(control, &paint);
    if (dc) {
        RECT client;
        GetClientRect(control, &client);
        SetBkMode(dc, TRANSPARENT);
        FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1));
        DrawTextExW(dc, const_cast<WCHAR*>(text), boundedLength(text, capacity), &client,
                    DT_PATH_ELLIPSIS, nullptr);
    }
    EndPaint(control, &paint);
}

LRESULT handlePathMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                          DisplayText displayText)
{
    switch (message) {
    case WM_SETTEXT: {
        // The text is not kept: a set request only means "repaint from the buffer".
        RECT client;
        GetClientRect(control, &client);
        InvalidateRect(control, &client, TRUE);
        return 0;
    }
    case WM_PAINT: {
        int capacity = 0;
        const WCHAR* text = displayText(&capacity);
        paintPathText(control, text, capacity);
        return 1;
    }
    case WM_ERASEBKGND:
        return 1;   // the paint fills the background itself
    default:
        return CallWindowProcA(savedStaticProc, control, message, wParam, lParam);
    }
}

LRESULT CALLBACK pagesPathProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    return handlePathMessage(control, message, wParam, lParam, pagesDisplayText);
}

LRESULT CALLBACK iconPathProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    return handlePathMessage(control, message, wParam, lParam, iconDisplayText);
}

void subclassDisplay(HWND page, int displayId, WNDPROC pathProc)
{
    HWND display = GetDlgItem(page, displayId);
    if (display)
        savedStaticProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(display, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pathProc)));
}

void refreshDisplay(HWND page, int displayId, DisplayText displayText)
{
    if (!GetDlgItem(page, displayId))
        return;
    int capacity = 0;
    const WCHAR* text = displayText(&capacity);
    // The subclass ignores the text; it only has to be a terminated string here.
    SetDlgItemTextW(page, displayId, boundedLength(text, capacity) < capacity ? text : L"");
}

// ---- Browse -----------------------------------------------------------------

// Cuts path to its existing part, so that the browser starts there, and
// returns the character that stood at the cut.
WCHAR cutToExistingPart(DestinationPath& destination)
{
    int cut = destination.existingLength;
    if (cut < 0 || cut >= pathCapacity)
        cut = boundedLength(destination.path, pathCapacity - 1);
    destination.existingLength = cut;
    const WCHAR remembered = destination.path[cut];
    destination.path[cut] = L'\0';
    return remembered;
}

void browsePagesDestination()
{
    DestinationPath& destination = installSettings.pagesDestination;
    const WCHAR remembered = cutToExistingPart(destination);
    const int result = browseForDestination(pagesBrowseTitle, destination.path,
                                            destination.newFolder, CSIDL_DRIVES);
    if (result != 0)
        destination.existingLength = result;
    else
        destination.path[destination.existingLength] = remembered;
}

void browseIconDestination()
{
    DestinationPath& destination = installSettings.iconDestination;
    const WCHAR remembered = cutToExistingPart(destination);
    const int result = browseForDestination(iconBrowseTitle, destination.path,
                                            destination.newFolder, CSIDL_DESKTOPDIRECTORY);
    if (result == 0) {
        destination.path[destination.existingLength] = remembered;
        return;
    }
    const int base = installSettings.desktopBaseLength;
    // Shorter than the desktop prefix (the desktop itself): the display shows nothing.
    if (destination.newFolder[0] == L'\0' && result < base && base < pathCapacity)
        destination.path[base] = L'\0';
    destination.existingLength = result;
}

// ---- page procedures --------------------------------------------------------

// Both pages answer like every page, and repaint their display on activation.
INT_PTR handleDestinationNotify(HWND page, const NMHDR* header, int displayId, DisplayText displayText)
{
    INT_PTR handled = answerPageNotify(page, header->code, PSWIZB_BACK | PSWIZB_NEXT, false);
    if (header->code == PSN_SETACTIVE)
        refreshDisplay(page, displayId, displayText);
    return handled;
}

// Every command counts as handled; only a click on Browse does anything.
INT_PTR handleDestinationCommand(HWND page, WPARAM wParam, int browseId, int displayId,
                                 void (*browse)())
{
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == browseId) {
        browse();
        SendDlgItemMessageA(page, displayId, WM_SETTEXT, 0, 0);
    }
    return TRUE;
}

// Next leaves the pages page only for a folder the install may write into;
// otherwise the message has said why, and the page stays (-1).
INT_PTR handlePagesNotify(HWND page, const NMHDR* header)
{
    if (header->code == PSN_WIZNEXT && !checkPagesDestination()) {
        SetWindowLongPtrA(page, DWLP_MSGRESULT, -1);
        return TRUE;
    }
    return handleDestinationNotify(page, header, IDC_PAGES_PATH, pagesDisplayText);
}

} // namespace

INT_PTR CALLBACK iconPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        subclassDisplay(page, IDC_ICON_PATH, iconPathProc);
        initIconDestination(page);
        return TRUE;
    case WM_COMMAND:
        return handleDestinationCommand(page, wParam, IDC_ICON_BROWSE, IDC_ICON_PATH,
                                        browseIconDestination);
    case WM_NOTIFY:
        return handleDestinationNotify(page, reinterpret_cast<const NMHDR*>(lParam), IDC_ICON_PATH,
                                       iconDisplayText);
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK pagesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        subclassDisplay(page, IDC_PAGES_PATH, pagesPathProc);
        initPagesDestination();
        return TRUE;
    case WM_COMMAND:
        return handleDestinationCommand(page, wParam, IDC_PAGES_BROWSE, IDC_PAGES_PATH,
                                        browsePagesDestination);
    case WM_NOTIFY:
        return handlePagesNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    default:
        return FALSE;
    }
}
