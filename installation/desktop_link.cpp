// Removing the book's desktop shortcut where the install recorded it. A link
// counts as the book's only when its stored target lies directly in the book
// folder.
#include "removal.h"

#include "install_log.h"
#include "safe_folder.h"

#include <shlobj.h>

// True when the ANSI code page holds every letter of text, without best-fit
// substitutes.
static bool ansiCodePageHolds(const WCHAR* text)
{
    char narrow[2 * pathCapacity];   // a double-byte code page takes up to two bytes a letter
    BOOL substituted = FALSE;
    // A code page that cannot report substitutes (UTF-8) holds every letter.
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, narrow, sizeof narrow, nullptr, &substituted)
        == 0 || !substituted;
}

// The raw path is what the install stored; nothing is resolved or searched.
static bool rawPathLiesIn(IShellLinkW* link, const WCHAR* folder)
{
    WCHAR target[pathCapacity];
    if (link->GetPath(target, pathCapacity, nullptr, SLGP_RAWPATH) != S_OK)
        return false;
    target[pathCapacity - 1] = L'\0';
    return isDirectlyInFolder(target, folder);
}

// The path that the link's item list spells out name by name, again without
// resolving anything.
static bool itemListPathLiesIn(IShellLinkW* link, const WCHAR* folder)
{
    PIDLIST_ABSOLUTE items = nullptr;
    if (link->GetIDList(&items) != S_OK || items == nullptr)
        return false;
    WCHAR target[MAX_PATH];
    bool liesIn = SHGetPathFromIDListW(items, target) && isDirectlyInFolder(target, folder);
    CoTaskMemFree(items);
    return liesIn;
}

bool linkTargetsFolder(const WCHAR* linkPath, const WCHAR* folder)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool targets = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        // Some shell link implementations (Wine's among them) store the raw path in
        // the ANSI code page, so a folder name it lacks comes back with '?' or
        // best-fit letters. The item list keeps every name whole; it is read only
        // for such a folder, so links into any other folder are judged as before.
        targets = SUCCEEDED(file->Load(linkPath, STGM_READ))
            && (rawPathLiesIn(link, folder) || (!ansiCodePageHolds(folder) && itemListPathLiesIn(link, folder)));
        file->Release();
    }
    link->Release();
    return targets;
}

bool removeLink(const WCHAR* folder, const WCHAR* linkPath, RemovalReport& report)
{
    // A folder reached through a link is not provably the install's: what
    // lies there stays. One that cannot be reached keeps the link there.
    HANDLE held;
    const FolderVerdict verdict = holdFolderLogged(folder, held);
    const FileOutcome outcome = verdict == FolderVerdict::usable    ? deletePlainFile(held, linkPath)
                                : verdict == FolderVerdict::missing ? FileOutcome::untouched
                                : verdict == FolderVerdict::linked  ? FileOutcome::left
                                                                    : FileOutcome::failed;
    releaseFolder(held);
    if (actedOn(outcome))
        logOutcome("shortcut removed", linkPath, outcome == FileOutcome::done);
    if (outcome == FileOutcome::failed)
        noteFailure(report, linkPath);
    report.kept += outcome == FileOutcome::left;
    return outcome == FileOutcome::done || outcome == FileOutcome::untouched;
}

void removeRecordedLink(const WCHAR* linkFolder, int made, const WCHAR* bookFolder, const WCHAR* linkName,
                        RemovalReport& report)
{
    WCHAR linkPath[pathCapacity];
    lstrcpynW(linkPath, linkFolder, pathCapacity);
    if (appendPathName(linkPath, pathCapacity, linkName) == 0)
        return;
    if (GetFileAttributesW(linkPath) != INVALID_FILE_ATTRIBUTES) {
        if (linkTargetsFolder(linkPath, bookFolder)) {
            removeLink(linkFolder, linkPath, report);
        } else {
            logAction("left as it is", linkPath, "not the book's shortcut");
            report.kept++;
        }
    }
    removeEmptyFolders(linkFolder, made, nullptr, true, report);
}
