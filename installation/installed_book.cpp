// What an install keeps for its removal: the binary value "InstallFolders" of
// the uninstall key, beside the uninstaller's path. It holds how many folders
// the install made above and including the pages folder and the icon folder,
// and where the shortcut is, so that the removal goes straight to the
// shortcut and takes exactly the folders the install made, wherever they
// lie. Layout: two little-endian 32-bit counts, then the icon folder in
// UTF-16 with its terminator.
#include "removal.h"

#include <string.h>

#include "product.h"

namespace {

constexpr DWORD countsSize = 2 * sizeof(uint32_t);
constexpr int madeLimit = pathCapacity / 2;   // a chain of one-letter folders

} // namespace

DWORD composeKeptFolders(const KeptFolders& folders, BYTE* data)
{
    const uint32_t counts[2] = {uint32_t(folders.pagesMade), uint32_t(folders.iconMade)};
    memcpy(data, counts, countsSize);
    const DWORD textSize = DWORD(boundedLength(folders.iconFolder, pathCapacity - 1) + 1) * sizeof(WCHAR);
    memcpy(data + countsSize, folders.iconFolder, textSize - sizeof(WCHAR));
    memset(data + countsSize + textSize - sizeof(WCHAR), 0, sizeof(WCHAR));
    return countsSize + textSize;
}

bool parseKeptFolders(DWORD type, const BYTE* data, DWORD size, KeptFolders& folders)
{
    if (type != REG_BINARY || size < countsSize + sizeof(WCHAR) || size > countsSize + pathCapacity * sizeof(WCHAR) ||
        (size - countsSize) % sizeof(WCHAR) != 0)
        return false;
    uint32_t counts[2];
    memcpy(counts, data, countsSize);
    const int length = int(size - countsSize) / int(sizeof(WCHAR)) - 1;
    memcpy(folders.iconFolder, data + countsSize, size - countsSize);
    folders.pagesMade = int(counts[0]);
    folders.iconMade = int(counts[1]);
    // One terminated text, and a full path ending in a backslash or nothing.
    return counts[0] <= uint32_t(madeLimit) && counts[1] <= uint32_t(madeLimit) &&
           boundedLength(folders.iconFolder, length + 1) == length &&
           (length == 0 || (firstFolderStart(folders.iconFolder) > 0 && folders.iconFolder[length - 1] == L'\\'));
}

bool readRegisteredBook(const WCHAR* exePath, InstalledBook& book)
{
    memset(&book, 0, sizeof book);
    lstrcpynW(book.exePath, exePath, pathCapacity);
    if (!keyNamesUninstaller(HKEY_LOCAL_MACHINE, uninstallKeyPath, exePath))
        return false;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        BYTE data[countsSize + pathCapacity * sizeof(WCHAR)];
        DWORD type = 0;
        DWORD size = sizeof data;
        book.kept = RegQueryValueExA(key, keptFoldersName, nullptr, &type, data, &size) == ERROR_SUCCESS &&
                    parseKeptFolders(type, data, size, book.folders);
        RegCloseKey(key);
    }
    return true;
}

int madeWithEarlier(const WCHAR* folder, int made, const WCHAR* earlierFolder, int earlierMade)
{
    // Where this run's chain begins: folder without the names it made.
    WCHAR start[pathCapacity];
    WCHAR earlier[pathCapacity];
    lstrcpynW(start, folder, pathCapacity);
    lstrcpynW(earlier, earlierFolder, pathCapacity);
    WCHAR* const paths[] = {start, earlier};
    for (WCHAR* path : paths) {
        const int length = lstrlenW(path);
        if (length > 0 && path[length - 1] == L'\\')
            path[length - 1] = L'\0';
    }
    for (int i = 0; i < made; i++)
        if (cutLastName(start) == 0)
            return made;
    // That folder is the earlier one or one it made above it: those count too.
    for (int above = 0; above < earlierMade; above++) {
        if (CompareStringOrdinal(start, -1, earlier, -1, TRUE) == CSTR_EQUAL)
            return made + earlierMade - above;
        if (cutLastName(earlier) == 0)
            break;
    }
    return made;
}
