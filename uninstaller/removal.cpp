// The whole removal of an installed book, given the installed uninstaller's path.
#include "removal.h"

#include <shlobj.h>

#include "page_manifest.h"
#include "product.h"

static const char pageSuffix[] = ".htm";

// The shortcut name as the install composed it.
static void composeLinkName(char* linkName)
{
    wsprintfA(linkName, linkNameFormat, productName);
}

bool bookIsPresent(const char* exePath)
{
    char folder[pathCapacity];
    lstrcpyA(folder, exePath);
    if (cutLastName(folder) == 0)
        return false;
    return anyListedFilePresent(folder, mainPageNames, pageSuffix)
        || anyListedFilePresent(folder, extraFileNames, "")
        || keyNamesUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath);
}

// Searches the current user's and, where it differs, all users' desktop tree.
static void removeShortcuts(const char* folder, RemovalReport& report)
{
    char linkName[chainCapacity];
    composeLinkName(linkName);
    HRESULT initialised = CoInitialize(nullptr);
    if (FAILED(initialised)) {
        noteFailure(report, linkName);
        return;
    }
    char userDesktop[MAX_PATH] = "";
    char commonDesktop[MAX_PATH] = "";
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, userDesktop)))
        removeBookLinks(userDesktop, folder, linkName, report);
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, commonDesktop))
        && !samePath(commonDesktop, userDesktop))
        removeBookLinks(commonDesktop, folder, linkName, report);
    CoUninitialize();
}

void removeInstalledBook(const char* exePath, SelfRemoval selfRemoval, RemovalReport& report)
{
    char folder[pathCapacity];
    lstrcpyA(folder, exePath);
    if (cutLastName(folder) == 0)
        return;
    // The shortcut goes first, while the page it points at still exists.
    removeShortcuts(folder, report);
    removeListedFiles(folder, mainPageNames, pageSuffix, report);
    removeListedFiles(folder, extraFileNames, "", report);
    removeUninstallKey(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath, report);

    char programFiles[pathCapacity];
    bool knowsBoundary = readProgramFilesFolder(programFiles, pathCapacity);
    if (selfRemoval == SelfRemoval::now) {
        if (!DeleteFileA(exePath) && GetLastError() != ERROR_FILE_NOT_FOUND)
            noteFailure(report, exePath);
        else if (knowsBoundary)
            removeEmptyFolders(folder, programFiles, report);
        return;
    }
    // Last resort: the system deletes the running file, then its folder if empty, at the next start.
    if (!MoveFileExA(exePath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        noteFailure(report, exePath);
    else if (knowsBoundary && isBelowFolder(folder, programFiles))
        MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
