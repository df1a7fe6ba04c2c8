// Finding and removing the book's desktop shortcut. The install records no icon
// folder, so the desktop tree is searched; a link counts as the book's only when
// its stored target lies directly in the book folder.
#include "uninstall.h"

#include <shlobj.h>

bool linkTargetsFolder(const char* linkPath, const char* folder)
{
    WCHAR widePath[pathCapacity];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, pathCapacity) == 0)
        return false;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    char target[pathCapacity];
    target[0] = '\0';
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        // The raw path is what the install stored; nothing is resolved or searched.
        if (SUCCEEDED(file->Load(widePath, STGM_READ))
            && link->GetPath(target, pathCapacity, nullptr, SLGP_RAWPATH) != S_OK)
            target[0] = '\0';
        file->Release();
    }
    link->Release();
    target[pathCapacity - 1] = '\0';
    return target[0] != '\0' && isDirectlyInFolder(target, folder);
}

// Links found by the walk. They are deleted only after every search handle is
// closed: an open search keeps its folder from being removed.
constexpr int foundLinkCapacity = 16;

struct FoundLinks {
    char paths[foundLinkCapacity][pathCapacity];
    int count;
    int overflow;        // matches beyond the capacity: reported, never skipped silently
    int foldersLeft;     // folders the walk may still open; at zero it stops and reports
};

// Depth-first walk of folder (a path buffer of pathCapacity, restored on return).
static void searchFolder(char* folder, int depth, const char* linkName, FoundLinks& found)
{
    int folderEnd = lstrlenA(folder);
    if (found.foldersLeft-- <= 0 || appendPathName(folder, pathCapacity, "*") == 0)
        return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(folder, &entry);
    folder[folderEnd] = '\0';
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const char* name = entry.cFileName;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Links and junctions could lead the walk out of the tree or round in a circle.
        if (isFolder && ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || depth >= linkSearchDepth))
            continue;
        if (!isFolder && !samePath(name, linkName))
            continue;
        if (appendPathName(folder, pathCapacity, name) == 0)
            continue;
        if (isFolder)
            searchFolder(folder, depth + 1, linkName, found);
        else if (found.count < foundLinkCapacity)
            lstrcpyA(found.paths[found.count++], folder);
        else
            ++found.overflow;
        folder[folderEnd] = '\0';
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

void removeBookLinks(const char* desktop, const char* bookFolder, const char* linkName, RemovalReport& report)
{
    static FoundLinks found;   // 4 KB: kept off the stack of a walk that recurses
    char folder[pathCapacity];
    if (desktop[0] == '\0' || lstrlenA(desktop) >= pathCapacity)
        return;
    lstrcpyA(folder, desktop);
    found.count = 0;
    found.overflow = 0;
    found.foldersLeft = linkSearchFolders;
    searchFolder(folder, 0, linkName, found);
    for (int i = 0; i < found.count; ++i) {
        const char* linkPath = found.paths[i];
        if (!linkTargetsFolder(linkPath, bookFolder))
            continue;
        if (!DeleteFileA(linkPath)) {
            noteFailure(report, linkPath);
            continue;
        }
        // The link's folder and its parents go while empty, never the desktop itself.
        lstrcpyA(folder, linkPath);
        if (cutLastName(folder) > 0)
            removeEmptyFolders(folder, desktop, report);
    }
    if (found.overflow > 0 || found.foldersLeft < 0)
        noteFailure(report, linkName);
}
