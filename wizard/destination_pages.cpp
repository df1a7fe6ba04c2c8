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
#include "earlier_install.h"
#include "page_contract.h"
#include "product.h"
#include "resource_ids.h"
#include "settings.h"

#include <commctrl.h>
#include <shlobj.h>

namespace {

constexpr WCHAR pagesBrowseTitle[] = L"Choose where to install help files. (ie, C:)";
constexpr WCHAR iconBrowseTitle[] = L"Choose where to create Desktop icons.";
// Used when the Program Files directory cannot be read (or would not fit).
constexpr WCHAR fallbackProgramFiles[] = L"C:\\";
constexpr WCHAR separator = L'\\';

// The static class's own procedure, to which both display subclasses forward.
WNDPROC savedStaticProc;

using DisplayText = const WCHAR* (*)(int* capacity);

// Length of a text inside a buffer of capacity characters, stopping at the end
// of the buffer if no terminator comes first.
int boundedLength(const WCHAR* text, int capacity)
{
    int length = 0;
    while (length < capacity && text[length] != L'\0')
        ++length;
    return length;
}

bool isExistingFolder(const WCHAR* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool endsInSeparator(const WCHAR* text, int length)
{
    return length > 0 && text[length - 1] == separator;
}

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

// ---- defaults ---------------------------------------------------------------

// Reads the Program Files directory into buffer (pathCapacity characters).
// Returns its length, or -1 when the key does not open with full access, the
// value is missing, longer than the buffer, or stored without a terminator
// that fits.
int readProgramFilesDir(WCHAR* buffer)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, programFilesKeyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return -1;
    DWORD type = REG_SZ;
    DWORD size = pathCapacity * sizeof(WCHAR);   // bytes
    const LONG status = RegQueryValueExW(key, programFilesValueName, nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return -1;
    const DWORD characters = size / sizeof(WCHAR);
    if (characters < static_cast<DWORD>(pathCapacity))
        buffer[characters] = L'\0';
    else if (buffer[pathCapacity - 1] != L'\0')
        return -1;
    return lstrlenW(buffer);
}

// The folder of the install the uninstall key names; otherwise the default
// below the Program Files directory. existingLength stops before
// the separator added here. A directory that is empty, unreadable, or too long
// to take the default folder name falls back to drive C:.
void initPagesDestination()
{
    DestinationPath& destination = installSettings.pagesDestination;
    const int chainLength = boundedLength(destination.newFolder, chainCapacity - 1);
    destination.newFolder[chainLength] = L'\0';

    // An install that the uninstall key names is updated where it is.
    WCHAR earlierUninstaller[pathCapacity];
    if (readEarlierUninstaller(earlierUninstaller, destination.path)) {
        destination.existingLength = lstrlenW(destination.path);
        destination.newFolder[0] = L'\0';
        return;
    }

    WCHAR base[pathCapacity];
    int baseLength = readProgramFilesDir(base);
    int sep = endsInSeparator(base, baseLength) ? 0 : 1;
    if (baseLength <= 0 || baseLength + sep + chainLength >= pathCapacity) {
        lstrcpyW(base, fallbackProgramFiles);
        baseLength = lstrlenW(base);
        sep = 0;
    }
    lstrcpyW(destination.path, base);
    if (sep)
        destination.path[baseLength] = separator;
    lstrcpyW(destination.path + baseLength + sep, destination.newFolder);
    destination.existingLength = baseLength;

    if (isExistingFolder(destination.path)) {
        destination.existingLength = lstrlenW(destination.path);
        destination.newFolder[0] = L'\0';
    }
}

// Reads the desktop directory into buffer (MAX_PATH characters); returns its
// length, or -1 when the shell cannot name it.
int readDesktopDirectory(HWND page, WCHAR* buffer)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)))
        return -1;
    int length = -1;
    LPITEMIDLIST item = nullptr;
    if (SHGetSpecialFolderLocation(page, CSIDL_DESKTOPDIRECTORY, &item) == S_OK) {
        if (SHGetPathFromIDListW(item, buffer))
            length = lstrlenW(buffer);
        allocator->Free(item);
    }
    allocator->Release();
    return length;
}

// The default below the desktop directory. existingLength and
// desktopBaseLength include the desktop's trailing backslash. Without a usable
// desktop directory (none, empty, or too long to take the default folder
// name) the built-in path and desktopBaseLength stay.
void initIconDestination(HWND page)
{
    DestinationPath& destination = installSettings.iconDestination;
    const int chainLength = boundedLength(destination.newFolder, chainCapacity - 1);
    destination.newFolder[chainLength] = L'\0';

    WCHAR desktop[MAX_PATH];
    const int desktopLength = readDesktopDirectory(page, desktop);
    const int sep = endsInSeparator(desktop, desktopLength) ? 0 : 1;
    if (desktopLength > 0 && desktopLength + sep + chainLength < pathCapacity) {
        lstrcpyW(destination.path, desktop);
        if (sep)
            destination.path[desktopLength] = separator;
        installSettings.desktopBaseLength = desktopLength + sep;
    }
    // Both the built-in prefix and an accepted desktop leave room for the chain.
    const int existing = installSettings.desktopBaseLength;
    destination.existingLength = existing;
    lstrcpyW(destination.path + existing, destination.newFolder);

    if (isExistingFolder(destination.path)) {
        destination.existingLength += chainLength;
        destination.newFolder[0] = L'\0';
    }
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
        return handleDestinationNotify(page, reinterpret_cast<const NMHDR*>(lParam), IDC_PAGES_PATH,
                                       pagesDisplayText);
    default:
        return FALSE;
    }
}
