// The install sequence and its rollback.
//
// pagesDestination.path is the working buffer: once the pages folder chain
// exists, pagesDestination.existingLength is the position at which each target
// file name is written before its entry is extracted. The same holds for
// iconDestination.path and desktopBaseLength once the icon chain has run.
#include "install.h"

#include <windows.h>

#include "extract.h"
#include "folder_chain.h"
#include "messages.h"
#include "page_manifest.h"
#include "product.h"
#include "registration.h"
#include "settings.h"
#include "shortcut.h"
#include "target_path.h"

namespace {

constexpr char pageSuffix[] = ".htm";
constexpr char noSuffix[] = "";
constexpr char resourceNameFormat[] = "#%d";
constexpr int nameCapacity = 80;   // resource names and the link name
static_assert(sizeof productName + sizeof linkNameFormat <= nameCapacity, "link name fits");

enum class EntryResult { written, missing, failed };

// What this run has made, for the rollback.
struct InstallProgress {
    int pagesFoldersCreated;
    int iconFoldersCreated;
    bool shortcutSaved;           // also: the failure did not happen at the first page
    int mainNamesReached;         // leading main-list names whose files this run wrote or began
    int extraNamesReached;        // the same for the extra list
    char linkName[nameCapacity];
};

const char* nextName(const char* name)
{
    return name + lstrlenA(name) + 1;
}

bool isReplacedInVariant(int number)
{
    return installSettings.specificBook && number >= firstReplacedResource &&
           number <= lastReplacedResource;
}

EntryResult installEntry(const char* name, const char* suffix, int number)
{
    DestinationPath& pages = installSettings.pagesDestination;
    if (!writeNameAt(pages.path, pages.existingLength, name, suffix))
        return EntryResult::failed;
    char resourceName[nameCapacity];
    wsprintfA(resourceName, resourceNameFormat, number);
    HRSRC resource = FindResourceA(nullptr, resourceName, resourceName);
    if (!resource)
        return EntryResult::missing;
    return extractPayloadEntry(resource) == 0 ? EntryResult::written : EntryResult::failed;
}

void deleteInstalledFile(const char* name, const char* suffix)
{
    DestinationPath& pages = installSettings.pagesDestination;
    if (writeNameAt(pages.path, pages.existingLength, name, suffix))
        DeleteFileW(pages.path);
}

// Deletes the files of a list's first count names. A file of a name the run
// skipped or never reached was not written by it, so it may be the user's: it stays.
void deleteListFiles(const char* names, const char* suffix, int firstNumber, int count)
{
    int number = firstNumber;
    for (const char* name = names; *name && number < firstNumber + count; name = nextName(name), number++)
        if (!isReplacedInVariant(number))
            deleteInstalledFile(name, suffix);
}

// Runs while pagesDestination.path names the first page, the shortcut's target.
// A failed icon chain is reported and the link goes into its deepest existing folder.
bool placeShortcut(InstallProgress& progress)
{
    DestinationPath& icon = installSettings.iconDestination;
    if (!cutPathAt(icon.path, icon.existingLength) ||
        !createFolderChain(installSettings.desktopBaseLength, icon.newFolder, icon.path,
                           progress.iconFoldersCreated))
        showInstallError(iconFolderFailedText);
    wsprintfA(progress.linkName, linkNameFormat, productName);
    progress.shortcutSaved = createDesktopShortcut(progress.linkName);
    return progress.shortcutSaved;
}

bool installMainPages(InstallProgress& progress)
{
    int number = firstMainResource;
    for (const char* name = mainPageNames; *name; name = nextName(name), number++) {
        if (isReplacedInVariant(number))
            continue;
        const EntryResult result = installEntry(name, pageSuffix, number);
        if (result != EntryResult::missing)
            progress.mainNamesReached = number - firstMainResource + 1;
        if (result != EntryResult::written)
            return false;
        if (number == firstMainResource && !placeShortcut(progress))
            return false;
    }
    return true;
}

bool installExtraFiles(InstallProgress& progress)
{
    int number = firstExtraResource;
    for (const char* name = extraFileNames; *name; name = nextName(name), number++) {
        const EntryResult result = installEntry(name, noSuffix, number);
        if (result != EntryResult::missing)
            progress.extraNamesReached = number - firstExtraResource + 1;
        if (result != EntryResult::written)
            return false;
    }
    return true;
}

// Removes everything the install made once pages were being written: the
// shortcut, the icon folders it created, the files it wrote or began to write,
// the registration, the uninstaller and the pages folders it created.
void rollBack(InstallProgress& progress)
{
    DestinationPath& icon = installSettings.iconDestination;
    DestinationPath& pages = installSettings.pagesDestination;
    if (progress.shortcutSaved && writeNameAt(icon.path, installSettings.desktopBaseLength, progress.linkName, noSuffix))
        DeleteFileW(icon.path);
    removeCreatedFolders(icon.path, installSettings.desktopBaseLength, progress.iconFoldersCreated);
    // A skipped page's name recurs in the extra list, which deletes it if it got that far.
    deleteListFiles(mainPageNames, pageSuffix, firstMainResource, progress.mainNamesReached);
    deleteListFiles(extraFileNames, noSuffix, firstExtraResource, progress.extraNamesReached);
    removeUninstallRegistration();
    deleteInstalledFile(uninstallerFileName, noSuffix);
    removeCreatedFolders(pages.path, pages.existingLength, progress.pagesFoldersCreated);
    showInstallError(copyFailedText);
}

} // namespace

void runInstall()
{
    InstallProgress progress = {};
    DestinationPath& pages = installSettings.pagesDestination;

    int filePosition = 0;
    if (!cutPathAt(pages.path, pages.existingLength) ||
        !createFolderChain(filePosition, pages.newFolder, pages.path, progress.pagesFoldersCreated)) {
        removeCreatedFolders(pages.path, filePosition, progress.pagesFoldersCreated);
        showInstallError(pagesFolderFailedText);
        return;
    }
    pages.existingLength = filePosition;

    const EntryResult uninstaller = installEntry(uninstallerFileName, noSuffix, uninstallerResource);
    if (uninstaller != EntryResult::written) {
        // Only a file this run started may be removed; a missing entry wrote nothing.
        if (uninstaller == EntryResult::failed)
            deleteInstalledFile(uninstallerFileName, noSuffix);
        removeCreatedFolders(pages.path, pages.existingLength, progress.pagesFoldersCreated);
        showInstallError(copyFailedText);
        return;
    }

    if (!registerUninstaller(pages.path))
        showInstallError(registrationFailedText);

    if (!installMainPages(progress) || (installSettings.specificBook && !installExtraFiles(progress)))
        rollBack(progress);
}
