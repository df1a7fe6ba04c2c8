// Folder chains. A chain is created front to back, so the folders this process
// created are always the chain's deepest components: removing the last `count`
// of them undoes exactly what was made and nothing that existed before.
#include "folder_chain.h"

#include <string.h>

#include "install_log.h"
#include "path_text.h"
#include "safe_folder.h"

namespace {

constexpr WCHAR separator = L'\\';

size_t componentLength(const WCHAR* chain)
{
    size_t length = 0;
    while (chain[length] && chain[length] != separator)
        length++;
    return length;
}

} // namespace

bool isFolder(const WCHAR* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool createFolderChain(int& outLength, const WCHAR* chain, WCHAR* path, int& counter,
                       const SECURITY_ATTRIBUTES* security)
{
    size_t pos = boundedLength(path, pathCapacity);
    outLength = 0;
    if (pos == size_t(pathCapacity) || boundedLength(chain, chainCapacity) == chainCapacity)
        return false;   // unterminated input

    if (pos != 0 && path[pos - 1] != separator) {
        if (pos + 2 > size_t(pathCapacity)) {
            outLength = int(pos);
            return false;
        }
        path[pos++] = separator;
        path[pos] = L'\0';
    }

    // Nothing is made of a chain with a name the system would change (a
    // trailing dot or space it drops) or refuse.
    if (findBadName(chain)) {
        outLength = int(pos);
        return false;
    }
    while (*chain) {
        const size_t length = componentLength(chain);
        // The component, its trailing backslash and a terminator must fit.
        if (length != 0 && pos + length + 2 > size_t(pathCapacity)) {
            outLength = int(pos);
            return false;
        }
        if (length != 0) {
            memcpy(path + pos, chain, length * sizeof *path);
            path[pos + length] = L'\0';
            // The system only reads the attributes.
            if (CreateDirectoryW(path, const_cast<SECURITY_ATTRIBUTES*>(security))) {
                logOutcome("folder created", path, true);
                counter++;
            } else if (GetLastError() != ERROR_ALREADY_EXISTS || !isFolder(path)) {
                // A file of the name reports ERROR_ALREADY_EXISTS too, but
                // nothing can be written below it.
                logOutcome("folder created", path, false);
                path[pos] = L'\0';
                outLength = int(pos);
                return false;
            }
            path[pos + length] = separator;
            pos += length + 1;
            path[pos] = L'\0';
        }
        chain += length;
        if (*chain == separator)
            chain++;
    }
    outLength = int(pos);
    return true;
}

void removeCreatedFolders(WCHAR* path, int end, int count)
{
    if (end > pathCapacity)
        return;
    int cut = end - 1;   // the backslash after the folder removed next
    while (count-- > 0 && cut > 0) {
        path[cut] = L'\0';
        removeHeldFolder(path);
        do
            cut--;
        while (cut > 0 && path[cut] != separator);
    }
}
