// Finding and removing the book's desktop shortcut. The install records its
// icon folder, and the removal goes straight there; for an install of a
// release before that record, the desktop tree is searched. Either way a
// link counts as the book's only when its stored target lies directly in the
// book folder.
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

// Deletes the link at linkPath in folder while the folder is held: a link
// swapped in on the way cannot turn the delete elsewhere. True when it went.
static bool removeLink(const WCHAR* folder, const WCHAR* linkPath, RemovalReport& report)
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

// Links found by the walk. They are deleted only after every search handle is
// closed: an open search keeps its folder from being removed.
constexpr int foundLinkCapacity = 16;

struct FoundLinks {
    WCHAR paths[foundLinkCapacity][pathCapacity];
    int count;
    int overflow;        // matches beyond the capacity: reported, never skipped silently
    int foldersLeft;     // folders the walk may still open; at zero it stops and reports
};

// Depth-first walk of folder (a path buffer of pathCapacity, restored on return).
static void searchFolder(WCHAR* folder, int depth, const WCHAR* linkName, FoundLinks& found)
{
    int folderEnd = lstrlenW(folder);
    if (found.foldersLeft-- <= 0 || appendPathName(folder, pathCapacity, L"*") == 0)
        return;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(folder, &entry);
    folder[folderEnd] = L'\0';
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const WCHAR* name = entry.cFileName;
        if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))
            continue;
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Links and junctions could lead the walk out of the tree or round in
        // a circle, and a link of the shortcut's name is not the book's: it
        // stays. A reparse point's entry holds its tag.
        if (((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkTag(entry.dwReserved0)) ||
            (isFolder && depth >= linkSearchDepth))
            continue;
        if (!isFolder && !samePath(name, linkName))
            continue;
        if (appendPathName(folder, pathCapacity, name) == 0)
            continue;
        if (isFolder)
            searchFolder(folder, depth + 1, linkName, found);
        else if (found.count < foundLinkCapacity)
            lstrcpyW(found.paths[found.count++], folder);
        else
            ++found.overflow;
        folder[folderEnd] = L'\0';
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

void removeBookLinks(const WCHAR* desktop, const WCHAR* bookFolder, const WCHAR* linkName, RemovalReport& report)
{
    static FoundLinks found;   // 8 KB: kept off the stack of a walk that recurses
    WCHAR folder[pathCapacity];
    if (desktop[0] == L'\0' || lstrlenW(desktop) >= pathCapacity)
        return;
    lstrcpyW(folder, desktop);
    found.count = 0;
    found.overflow = 0;
    found.foldersLeft = linkSearchFolders;
    searchFolder(folder, 0, linkName, found);
    for (int i = 0; i < found.count; ++i) {
        const WCHAR* linkPath = found.paths[i];
        if (!linkTargetsFolder(linkPath, bookFolder))
            continue;
        // Then its folder and the parents go while empty, each held in turn,
        // never the desktop itself.
        lstrcpyW(folder, linkPath);
        cutLastName(folder);
        if (removeLink(folder, linkPath, report))
            removeEmptyFolders(folder, pathCapacity, desktop, true, report);
    }
    // Links beyond the bounds are not the run's to find: what the search
    // left is said, and is no failure.
    if (found.overflow > 0 || found.foldersLeft < 0) {
        logAction("shortcut search stopped at its bound", desktop, "links below may remain");
        if (report.searched[0] == L'\0')
            lstrcpynW(report.searched, desktop, pathCapacity);
    }
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
