// Commands on the folder-browse dialog that a destination page's Browse opens:
// find it and read the folder it starts on, read or type the "New Folder:"
// field, select a folder, press OK or Cancel; and click a control of the
// current page (a Browse button).
#include "driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <commctrl.h>
#include <shlobj.h>

namespace {

constexpr int newFolderField = 100;
constexpr int fieldTextSize = 512;   // more than the field's copy keeps, to see a long text whole

bool isBrowseDialog(HWND window)
{
    char className[16];
    return IsWindowVisible(window) && GetClassNameA(window, className, sizeof className) &&
           lstrcmpA(className, "#32770") == 0 && FindWindowExA(window, nullptr, "SysTreeView32", nullptr);
}

BOOL CALLBACK visitTopLevel(HWND window, LPARAM found)
{
    if (!isBrowseDialog(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND browseSearch(const void*)
{
    HWND found = nullptr;
    EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A browse dialog whose tree has selected the folder it starts on: Wine's
// dialog shows before it has, on a loaded machine long enough to be seen.
HWND browseSelected(const void*)
{
    HWND dialog = browseSearch(nullptr);
    HWND tree = dialog ? FindWindowExA(dialog, nullptr, "SysTreeView32", nullptr) : nullptr;
    return tree && SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) ? dialog : nullptr;
}

HWND browseGone(const void*)
{
    // Any non-null handle ends the wait: the desktop stands for "no dialog".
    return browseSearch(nullptr) ? nullptr : GetDesktopWindow();
}

HWND waitForBrowseDialog()
{
    HWND dialog = waitForWindow(browseSearch, nullptr);
    if (!dialog)
        reportTimeout("no browse dialog");
    return dialog;
}

void printField(HWND dialog)
{
    HWND field = GetDlgItem(dialog, newFolderField);
    if (!field) {
        printf("field: (none)\n");
        return;
    }
    WCHAR text[fieldTextSize] = L"";
    SendMessageW(field, WM_GETTEXT, fieldTextSize, reinterpret_cast<LPARAM>(text));
    printText("field", text);
}

// The tree's item texts from its root down to the selected folder, joined by
// " > ". The tree writes an item's text into a buffer the caller names, which
// must lie in the dialog's process: the request and the buffer are placed there.
struct RemoteItem {
    TVITEMW item;
    WCHAR text[MAX_PATH];
};

constexpr int selectionDepth = 32;   // tree levels read at most

bool readItemText(HANDLE process, HWND tree, RemoteItem* remote, HTREEITEM item, WCHAR* text)
{
    TVITEMW request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = remote->text;
    request.cchTextMax = MAX_PATH;
    text[0] = L'\0';
    return WriteProcessMemory(process, &remote->item, &request, sizeof request, nullptr) &&
           SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&remote->item)) &&
           ReadProcessMemory(process, remote->text, text, MAX_PATH * sizeof(WCHAR), nullptr);
}

void printSelection(HWND dialog)
{
    HWND tree = FindWindowExA(dialog, nullptr, "SysTreeView32", nullptr);
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) {
        printf("selection: (unreadable)\n");
        return;
    }
    static WCHAR texts[selectionDepth][MAX_PATH];
    int depth = 0;
    bool read = true;
    if (auto* remote = static_cast<RemoteItem*>(
            VirtualAllocEx(process, nullptr, sizeof(RemoteItem), MEM_COMMIT, PAGE_READWRITE))) {
        auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        for (; item && depth < selectionDepth && read; depth++) {
            read = readItemText(process, tree, remote, item, texts[depth]);
            item = reinterpret_cast<HTREEITEM>(
                SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    } else {
        read = false;
    }
    CloseHandle(process);
    if (!read) {
        printf("selection: (unreadable)\n");
        return;
    }
    static WCHAR joined[selectionDepth * (MAX_PATH + 3)];
    joined[0] = L'\0';
    for (int level = depth - 1; level >= 0; level--) {
        if (level != depth - 1)
            lstrcatW(joined, L" > ");
        lstrcatW(joined, texts[level]);
    }
    printText("selection", joined);
}

// BFFM_SETSELECTIONW takes a string in the dialog's own process: copy it there.
bool selectFolder(HWND dialog, const WCHAR* path)
{
    DWORD process = 0;
    GetWindowThreadProcessId(dialog, &process);
    HANDLE handle = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process);
    if (!handle)
        return false;
    const SIZE_T size = (lstrlenW(path) + 1) * sizeof(WCHAR);
    bool done = false;
    if (void* remote = VirtualAllocEx(handle, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {
        if (WriteProcessMemory(handle, remote, path, size, nullptr)) {
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote));
            done = true;
        }
        VirtualFreeEx(handle, remote, 0, MEM_RELEASE);
    }
    CloseHandle(handle);
    return done;
}

} // namespace

int browseWaitCommand(int, char**)
{
    // A dialog that never selects a folder is still read, as it is.
    HWND dialog = waitForWindow(browseSelected, nullptr);
    if (!dialog)
        dialog = waitForBrowseDialog();
    if (!dialog)
        return 1;
    printTitle("browse", dialog);
    printSelection(dialog);
    printField(dialog);
    return 0;
}

int browseFieldCommand(int argc, char** argv)
{
    if (argc > 1)
        return reportUsage("browse-field");
    HWND dialog = waitForBrowseDialog();
    if (!dialog)
        return 1;
    WCHAR text[fieldTextSize];
    if (argc == 1 && !widen(argv[0], text, fieldTextSize))
        return reportUsage("browse-field");
    HWND field = GetDlgItem(dialog, newFolderField);
    // The field is a Unicode control: the wide message hands it every letter.
    if (argc == 1 && field)
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    printField(dialog);
    return argc == 1 && !field ? 1 : 0;
}

int browseSelectCommand(int argc, char** argv)
{
    if (argc != 1)
        return reportUsage("browse-select");
    HWND dialog = waitForBrowseDialog();
    if (!dialog)
        return 1;
    WCHAR given[MAX_PATH];
    WCHAR path[MAX_PATH];
    if (!widen(argv[0], given, MAX_PATH) || !ExpandEnvironmentStringsW(given, path, MAX_PATH) ||
        !selectFolder(dialog, path)) {
        printf("select failed: %s\n", argv[0]);
        return 1;
    }
    printText("selected", path);
    return 0;
}

int browsePressCommand(int argc, char** argv)
{
    if (argc != 1 || (strcmp(argv[0], "ok") != 0 && strcmp(argv[0], "cancel") != 0))
        return reportUsage("browse-press");
    HWND dialog = waitForBrowseDialog();
    if (!dialog)
        return 1;
    const int id = strcmp(argv[0], "ok") == 0 ? IDOK : IDCANCEL;
    // Posted, as a click would be: the dialog may open a message box on its way out.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    if (!waitForWindow(browseGone, nullptr))
        return reportTimeout("browse dialog still open");
    printf("browse: closed\n");
    return 0;
}

int clickCommand(int argc, char** argv)
{
    if (argc != 1)
        return reportUsage("click");
    HWND wizard = findWizard();
    HWND page = wizard ? reinterpret_cast<HWND>(SendMessageA(wizard, PSM_GETCURRENTPAGEHWND, 0, 0))
                       : nullptr;
    const int id = atoi(argv[0]);
    HWND control = page ? GetDlgItem(page, id) : nullptr;
    if (!control) {
        printf("error: no control %s on the current page\n", argv[0]);
        return 1;
    }
    // Posted, as a click would be: a Browse button runs a modal dialog.
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    printf("clicked: %s\n", argv[0]);
    return 0;
}
