// The whole removal of an installed book, given the installed uninstaller's path.
#include "removal.h"

#include <shlobj.h>

#include "install_log.h"
#include "install_record.h"
#include "page_manifest.h"
#include "product.h"

static const char pageSuffix[] = ".htm";
static const char pageSetAsideSuffix[] = ".htm" TOLM_SET_ASIDE_SUFFIX;
static const char uninstallerSetAside[] = TOLM_UNINSTALLER_FILE TOLM_SET_ASIDE_SUFFIX "\0";   // a one-name list

// The shortcut name as the install composed it, in UTF-16 like the names it is
// compared with.
static void composeLinkName(WCHAR* linkName)
{
    char asciiName[chainCapacity];
    wsprintfA(asciiName, linkNameFormat, productName);
    widenAscii(linkName, chainCapacity, asciiName);
}

bool bookIsPresent(const WCHAR* exePath)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, exePath);
    if (cutLastName(folder) == 0)
        return false;
    return anyListedFilePresent(folder, mainPageNames, pageSuffix)
        || anyListedFilePresent(folder, extraFileNames, "")
        || keyNamesUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath);
}

// Searches the current user's and, where it differs, all users' desktop tree.
static void removeShortcuts(const WCHAR* folder, RemovalReport& report)
{
    WCHAR linkName[chainCapacity];
    composeLinkName(linkName);
    HRESULT initialised = CoInitialize(nullptr);
    if (FAILED(initialised)) {
        noteFailure(report, linkName);
        return;
    }
    WCHAR userDesktop[MAX_PATH] = L"";
    WCHAR commonDesktop[MAX_PATH] = L"";
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, userDesktop)))
        removeBookLinks(userDesktop, folder, linkName, report);
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, commonDesktop))
        && !samePath(commonDesktop, userDesktop))
        removeBookLinks(commonDesktop, folder, linkName, report);
    CoUninitialize();
}

void removeBook(const WCHAR* exePath, RemovalReport& report)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, exePath);
    if (cutLastName(folder) == 0)
        return;
    // The shortcut goes first, while the page it points at still exists.
    removeShortcuts(folder, report);
    removeListedFiles(folder, mainPageNames, pageSuffix, report);
    removeListedFiles(folder, extraFileNames, "", report);
    // Set aside by an install killed where it could not keep a journal.
    removeListedFiles(folder, mainPageNames, pageSetAsideSuffix, report);
    removeListedFiles(folder, extraFileNames, setAsideSuffix, report);
    removeListedFiles(folder, uninstallerSetAside, "", report);
    removeUninstallKey(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath, report);
}

void removeUninstaller(const WCHAR* exePath, SelfRemoval selfRemoval, RemovalReport& report)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, exePath);
    if (cutLastName(folder) == 0)
        return;
    WCHAR programFiles[pathCapacity];
    bool knowsBoundary = readProgramFilesFolder(programFiles, pathCapacity);
    if (selfRemoval == SelfRemoval::now) {
        const bool deleted = DeleteFileW(exePath) || GetLastError() == ERROR_FILE_NOT_FOUND;
        logOutcome("file removed", exePath, deleted);
        if (!deleted)
            noteFailure(report, exePath);
        else if (knowsBoundary)
            removeEmptyFolders(folder, programFiles, report);
        return;
    }
    // Last resort: the system deletes the running file, then its folder if empty, at the next start.
    const bool scheduled = MoveFileExW(exePath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    logOutcome("file removed at the next start", exePath, scheduled);
    if (!scheduled)
        noteFailure(report, exePath);
    else if (knowsBoundary && isBelowFolder(folder, programFiles))
        MoveFileExW(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void removeInstalledBook(const WCHAR* exePath, SelfRemoval selfRemoval, RemovalReport& report)
{
    removeBook(exePath, report);
    removeUninstaller(exePath, selfRemoval, report);
}
