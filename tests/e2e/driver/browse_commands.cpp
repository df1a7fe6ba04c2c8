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
    char text[fieldTextSize] = "";
    SendMessageA(field, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    printf("field: %s\n", text);
}

// The tree's item texts from its root down to the selected folder, joined by
// " > ". The tree writes an item's text into a buffer the caller names, which
// must lie in the dialog's process: the request and the buffer are placed there.
struct RemoteItem {
    TVITEMA item;
    char text[MAX_PATH];
};

constexpr int selectionDepth = 32;   // tree levels read at most

bool readItemText(HANDLE process, HWND tree, RemoteItem* remote, HTREEITEM item, char* text)
{
    TVITEMA request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = remote->text;
    request.cchTextMax = MAX_PATH;
    text[0] = '\0';
    return WriteProcessMemory(process, &remote->item, &request, sizeof request, nullptr) &&
           SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&remote->item)) &&
           ReadProcessMemory(process, remote->text, text, MAX_PATH, nullptr);
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
    static char texts[selectionDepth][MAX_PATH];
    int depth = 0;
    bool read = true;
    if (auto* remote = static_cast<RemoteItem*>(
            VirtualAllocEx(process, nullptr, sizeof(RemoteItem), MEM_COMMIT, PAGE_READWRITE))) {
        auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        for (; item && depth < selectionDepth && read; depth++) {
            read = readItemText(process, tree, remote, item, texts[depth]);
            item = reinterpret_cast<HTREEITEM>(
                SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
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
    printf("selection:");
    for (int level = depth - 1; level >= 0; level--)
        printf(level == depth - 1 ? " %s" : " > %s", texts[level]);
    printf("\n");
}

// BFFM_SETSELECTIONA takes a string in the dialog's own process: copy it there.
bool selectFolder(HWND dialog, const char* path)
{
    DWORD process = 0;
    GetWindowThreadProcessId(dialog, &process);
    HANDLE handle = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process);
    if (!handle)
        return false;
    const SIZE_T size = strlen(path) + 1;
    bool done = false;
    if (void* remote = VirtualAllocEx(handle, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {
        if (WriteProcessMemory(handle, remote, path, size, nullptr)) {
            SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote));
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
    HWND dialog = waitForBrowseDialog();
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
    HWND field = GetDlgItem(dialog, newFolderField);
    if (argc == 1 && field)
        SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[0]));
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
    char path[MAX_PATH];
    if (!ExpandEnvironmentStringsA(argv[0], path, sizeof path) || !selectFolder(dialog, path)) {
        printf("select failed: %s\n", argv[0]);
        return 1;
    }
    printf("selected: %s\n", path);
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
