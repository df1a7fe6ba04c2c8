// The whole removal of an installed book, given the installed uninstaller
// and what the install kept. The book's folder is held while its files go
// (safe_folder.h): a folder reached through a link is refused, and nothing
// in it is touched.
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

// The shortcut: where the install recorded it, or for an install before
// that record, searched for on the desktops.
static void removeShortcuts(const InstalledBook& book, const WCHAR* folder, RemovalReport& report)
{
    WCHAR linkName[chainCapacity];
    widenAscii(linkName, chainCapacity, linkFileName);
    HRESULT initialised = CoInitialize(nullptr);
    if (FAILED(initialised)) {
        SetLastError(DWORD(initialised));
        logOutcome("shortcut removed", linkName, false);
        noteFailure(report, linkName);
        return;
    }
    if (!book.kept)
        removeSearchedLinks(folder, linkName, report);
    else if (book.folders.iconFolder[0])
        removeRecordedLink(book.folders.iconFolder, book.folders.iconMade, folder, linkName, report);
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

void removeBook(const InstalledBook& book, RemovalReport& report)
{
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, book.exePath);
    HANDLE held;
    if (cutToFolder(folder) == 0 || !holdBookFolder(folder, held, report))
        return;
    // The shortcut goes first, while the page it points at still exists.
    removeShortcuts(book, folder, report);
    removeListedFiles(folder, held, mainPageNames, pageSuffix, firstMainResource, report);
    removeListedFiles(folder, held, extraFileNames, "", firstExtraResource, report);
    // Set aside by an install killed where it could not keep a journal.
    removeListedFiles(folder, held, mainPageNames, pageSetAsideSuffix, 0, report);
    removeListedFiles(folder, held, extraFileNames, setAsideSuffix, 0, report);
    removeListedFiles(folder, held, uninstallerSetAside, "", 0, report);
    if (!hasFailures(report))
        removeUninstallKey(HKEY_LOCAL_MACHINE, uninstallKeyPath, book.exePath, report);
    releaseFolder(held);
}

// The folders the install made, or for an install that kept no record of
// them, the book's folder and its parents while empty below Program Files.
static void removeBookFolders(const InstalledBook& book, const WCHAR* folder, RemovalReport& report)
{
    WCHAR programFiles[pathCapacity];
    if (book.kept)
        removeEmptyFolders(folder, book.folders.pagesMade, nullptr, true, report);
    else if (readProgramFilesFolder(programFiles, pathCapacity))
        removeEmptyFolders(folder, pathCapacity, programFiles, true, report);
}

void removeUninstaller(const InstalledBook& book, SelfRemoval selfRemoval, RemovalReport& report)
{
    const WCHAR* exePath = book.exePath;
    WCHAR folder[pathCapacity];
    lstrcpyW(folder, exePath);
    if (cutToFolder(folder) == 0)
        return;
    if (selfRemoval == SelfRemoval::now) {
        HANDLE held;
        if (!holdBookFolder(folder, held, report))
            return;
        const FileOutcome outcome = deletePlainFile(held, exePath);
        releaseFolder(held);
        if (actedOn(outcome))
            logOutcome("file removed", exePath, outcome == FileOutcome::done);
        if (outcome == FileOutcome::failed)
            noteFailure(report, exePath);
        else
            removeBookFolders(book, folder, report);
        return;
    }
    // Last resort: the system deletes the running file, then its folder if
    // empty, at the next start: only a folder the install made.
    const bool scheduled = MoveFileExW(exePath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    logOutcome("file removed at the next start", exePath, scheduled);
    WCHAR programFiles[pathCapacity];
    if (!scheduled)
        noteFailure(report, exePath);
    else if (book.kept ? book.folders.pagesMade > 0
                       : readProgramFilesFolder(programFiles, pathCapacity) && isBelowFolder(folder, programFiles))
        MoveFileExW(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void removeInstalledBook(const InstalledBook& book, SelfRemoval selfRemoval, RemovalReport& report)
{
    removeBook(book, report);
    if (!hasFailures(report))
        removeUninstaller(book, selfRemoval, report);
}
