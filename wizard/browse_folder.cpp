// The folder browser. The shell's dialog has no place to type a new folder, so
// its callback adds an edit field next to the status line that reads
// "New Folder:", and a subclass of the dialog copies the field's text on OK
// only. After the dialog closes, composeDestination splits the chosen folder
// plus the typed chain into the part that exists and the chain to create.
//
// The typed text is staged in browseNewFolder and reaches the caller's
// newFolder only once the chosen folder's path is known, so a failure after
// OK leaves the destination exactly as it was.
//
// The dialog, its field and the paths are all wide: a chosen folder or a typed
// name that the ANSI code page cannot hold arrives intact.
#include "browse_folder.h"

#include "compose_destination.h"
#include "messages.h"
#include "settings.h"

#include <shlobj.h>

namespace {

constexpr int newFolderFieldId = 100;
constexpr char newFolderLabel[] = "New Folder:";
constexpr char labelClassName[] = "Static";
constexpr WCHAR fieldClassName[] = L"EDIT";
constexpr int labelReadSize = 16;   // class names and label texts are compared in 16 characters

// The field sits to the right of the label; its right edge keeps 5 pixels
// more distance from the dialog's right edge than the label keeps on the left.
constexpr int fieldLabelOffset = 60;
constexpr int fieldRightInset = 65;
constexpr int fieldRaise = 5;

constexpr UINT browseFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
// No ES_OEMCONVERT: the field would pass each typed letter through the OEM
// code page, which turns every letter it lacks into '?' or a look-alike, and
// the name typed would not be the name created.
constexpr DWORD fieldStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_AUTOVSCROLL;
constexpr DWORD fieldExStyle = WS_EX_CLIENTEDGE | WS_EX_TOPMOST;

static_assert(pathCapacity == MAX_PATH, "the shell writes up to MAX_PATH characters into a path");

// The field's text: its starting value, and its copy on OK (at most 79 characters).
WCHAR browseNewFolder[chainCapacity];

HWND findNewFolderLabel(HWND dialog)
{
    for (HWND child = GetNextDlgGroupItem(dialog, nullptr, FALSE); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char className[labelReadSize];
        char text[labelReadSize];
        if (GetClassNameA(child, className, labelReadSize) == 0 || lstrcmpA(className, labelClassName) != 0)
            continue;
        if (GetWindowTextA(child, text, labelReadSize) != 0 && lstrcmpA(text, newFolderLabel) == 0)
            return child;
    }
    return nullptr;
}

// Window-rectangle offsets are used as client coordinates on purpose: that
// places the field on the label's line, beside it.
void addNewFolderField(HWND dialog, HWND label)
{
    RECT dialogRect;
    RECT labelRect;
    GetWindowRect(dialog, &dialogRect);
    GetWindowRect(label, &labelRect);
    const int height = labelRect.bottom - labelRect.top;
    const int labelLeft = labelRect.left - dialogRect.left;
    const int x = labelLeft + fieldLabelOffset;
    const int y = (labelRect.top - dialogRect.top) - height - fieldRaise;
    const int width = (dialogRect.right - dialogRect.left) - 2 * labelLeft - fieldRightInset;
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));

    HWND field = CreateWindowExW(fieldExStyle, fieldClassName, L"", fieldStyle, x, y, width, height,
                                 dialog, reinterpret_cast<HMENU>(newFolderFieldId), instance, nullptr);
    if (!field)
        return;
    const WPARAM font = static_cast<WPARAM>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (font)
        SendMessageA(field, WM_SETFONT, font, FALSE);
    SetWindowLongPtrW(field, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(browseNewFolder));
    SetWindowTextW(field, browseNewFolder);
}

// On OK (or Enter) the field's text reaches the buffer named by its user data
// before the dialog closes; every message then goes on to the dialog's own
// procedure, kept in the dialog's user data.
LRESULT CALLBACK browseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && wParam == IDOK) {
        HWND field = GetDlgItem(dialog, newFolderFieldId);
        WCHAR* target = field ? reinterpret_cast<WCHAR*>(GetWindowLongPtrW(field, GWLP_USERDATA)) : nullptr;
        if (target)
            GetWindowTextW(field, target, chainCapacity);
    }
    const WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    return CallWindowProcW(previous, dialog, message, wParam, lParam);
}

void initializeBrowseDialog(HWND dialog, LPARAM startFolder)
{
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, startFolder);
    SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 1, reinterpret_cast<LPARAM>(newFolderLabel));
    HWND label = findNewFolderLabel(dialog);
    if (label)
        addNewFolderField(dialog, label);
    // The dialog is a Unicode window: its own procedure is kept and called as such.
    SetWindowLongPtrW(dialog, GWLP_USERDATA, GetWindowLongPtrW(dialog, GWLP_WNDPROC));
    SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(browseDialogProc));
}

int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED) {
        initializeBrowseDialog(dialog, data);
    } else if (message == BFFM_SELCHANGED) {
        // The selection made while initialising comes before the field exists.
        HWND field = GetDlgItem(dialog, newFolderFieldId);
        if (field)
            SetWindowTextW(field, L"");
    }
    return 0;
}

// Runs the dialog rooted at root; frees the chosen item before it returns.
int runBrowseDialog(IMalloc* allocator, LPITEMIDLIST root, const char* title, WCHAR* path,
                    WCHAR* newFolder)
{
    lstrcpynW(browseNewFolder, newFolder, chainCapacity);
    WCHAR displayName[MAX_PATH];
    WCHAR wideTitle[browseTitleCapacity];
    widenAscii(wideTitle, browseTitleCapacity, title);
    BROWSEINFOW info = {};
    info.hwndOwner = installSettings.ownerWindow;
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = wideTitle;
    info.ulFlags = browseFlags;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(path);
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return 0;

    int result = 0;
    WCHAR chosenPath[MAX_PATH];
    if (SHGetPathFromIDListW(chosen, chosenPath) && chosenPath[0] != L'\0') {
        lstrcpynW(path, chosenPath, pathCapacity);
        lstrcpynW(newFolder, browseNewFolder, chainCapacity);
        result = composeDestination(path, pathCapacity, newFolder, chainCapacity, queryDiskPath,
                                    showInstallError);
    }
    allocator->Free(chosen);
    return result;
}

} // namespace

PathKind queryDiskPath(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::absent;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::folder : PathKind::other;
}

int browseForDestination(const char* title, WCHAR* path, WCHAR* newFolder, int rootFolder)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)))
        return 0;
    int result = 0;
    LPITEMIDLIST root = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(installSettings.ownerWindow, rootFolder, &root))) {
        result = runBrowseDialog(allocator, root, title, path, newFolder);
        allocator->Free(root);
    }
    allocator->Release();
    return result;
}
