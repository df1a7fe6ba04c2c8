// Searching the desktops for the book's shortcuts, for an install of a
// release that did not record where it put its shortcut: the installer
// removes such an install when it replaces it. The uninstaller of a release
// that records it removes only installs of its own, and carries no search
// (uninstaller/recorded_links.cpp).
#include "removal.h"

#include <shlobj.h>

#include "install_log.h"
#include "safe_folder.h"

namespace {

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
void searchFolder(WCHAR* folder, int depth, const WCHAR* linkName, FoundLinks& found)
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

} // namespace

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
        logAction("shortcut search stopped", desktop, "");
        if (report.searched[0] == L'\0')
            lstrcpynW(report.searched, desktop, pathCapacity);
    }
}

void removeSearchedLinks(const WCHAR* bookFolder, const WCHAR* linkName, RemovalReport& report)
{
    WCHAR userDesktop[MAX_PATH] = L"";
    WCHAR commonDesktop[MAX_PATH] = L"";
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, userDesktop)))
        removeBookLinks(userDesktop, bookFolder, linkName, report);
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, commonDesktop)) &&
        !samePath(commonDesktop, userDesktop))
        removeBookLinks(commonDesktop, bookFolder, linkName, report);
}
