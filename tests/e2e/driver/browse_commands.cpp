// Commands on the folder-browse dialog that a destination page's Browse opens:
// find it, read or type the "New Folder:" field, select a folder, press OK or
// Cancel; and click a control of the current page (a Browse button).
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
    WCHAR text[fieldTextSize] = L"";
    SendMessageW(field, WM_GETTEXT, fieldTextSize, reinterpret_cast<LPARAM>(text));
    printText("field", text);
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
    HWND dialog = waitForBrowseDialog();
    if (!dialog)
        return 1;
    printTitle("browse", dialog);
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
