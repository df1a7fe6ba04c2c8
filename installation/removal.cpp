// The whole removal of an installed book, given the installed uninstaller's
// path. The book's folder is held while its files go (safe_folder.h): a folder
// reached through a link is refused, and nothing in it is touched.
#include "removal.h"

#include <shlobj.h>

#include "install_log.h"
#include "install_record.h"
#include "page_manifest.h"
#include "product.h"
#include "safe_folder.h"

static const char pageSetAsideSuffix[] = TOLM_PAGE_SUFFIX TOLM_SET_ASIDE_SUFFIX;
static const char uninstallerSetAside[] = TOLM_UNINSTALLER_FILE TOLM_SET_ASIDE_SUFFIX "\0";   // a one-name list

static_assert(sizeof linkFileName <= chainCapacity, "the link name fits its buffer");

bool bookIsPresent(const WCHAR* exePath)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, exePath);
    if (cutToFolder(folder) == 0)
        return false;
    return anyListedFilePresent(folder, mainPageNames, pageSuffix)
        || anyListedFilePresent(folder, extraFileNames, "")
        || keyNamesUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath);
}

// Searches the current user's and, where it differs, all users' desktop tree.
static void removeShortcuts(const WCHAR* folder, RemovalReport& report)
{
    WCHAR linkName[chainCapacity];
    widenAscii(linkName, chainCapacity, linkFileName);
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

// Holds the book's folder; a refused one is noted as what stayed.
static bool holdBookFolder(const WCHAR* folder, HANDLE& held, RemovalReport& report)
{
    if (holdFolderLogged(folder, held) == FolderVerdict::usable)
        return true;
    noteFailure(report, folder);
    return false;
}

void removeBook(const WCHAR* exePath, RemovalReport& report)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, exePath);
    HANDLE held;
    if (cutToFolder(folder) == 0 || !holdBookFolder(folder, held, report))
        return;
    // The shortcut goes first, while the page it points at still exists.
    removeShortcuts(folder, report);
    removeListedFiles(folder, mainPageNames, pageSuffix, report);
    removeListedFiles(folder, extraFileNames, "", report);
    // Set aside by an install killed where it could not keep a journal.
    removeListedFiles(folder, mainPageNames, pageSetAsideSuffix, report);
    removeListedFiles(folder, extraFileNames, setAsideSuffix, report);
    removeListedFiles(folder, uninstallerSetAside, "", report);
    if (!hasFailures(report))
        removeUninstallKey(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath, report);
    releaseFolder(held);
}

void removeUninstaller(const WCHAR* exePath, SelfRemoval selfRemoval, RemovalReport& report)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, exePath);
    if (cutToFolder(folder) == 0)
        return;
    WCHAR programFiles[pathCapacity];
    bool knowsBoundary = readProgramFilesFolder(programFiles, pathCapacity);
    if (selfRemoval == SelfRemoval::now) {
        HANDLE held;
        if (!holdBookFolder(folder, held, report))
            return;
        const FileOutcome outcome = deletePlainFile(exePath);
        releaseFolder(held);
        if (actedOn(outcome))
            logOutcome("file removed", exePath, outcome == FileOutcome::done);
        if (outcome == FileOutcome::failed)
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
    if (!hasFailures(report))
        removeUninstaller(exePath, selfRemoval, report);
}
