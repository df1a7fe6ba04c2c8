// The book's files in its folder: only names from the built-in lists are
// touched, and of those only files that hold the book's bytes, as the size
// and CRC-32 of each payload entry tell. A page the user edited, or a file
// of theirs that happens to bear a book name (index.htm is a common one),
// stays.
#include "removal.h"

#include "install_log.h"
#include "page_manifest.h"
#include "path_text.h"
#include "safe_folder.h"

namespace {

constexpr DWORD readChunk = 16384;   // bytes read at a time for the CRC

// Composes folder\name+suffix into path; false when it would not fit. The
// listed names are ASCII and widened here; the folder may hold any letters.
bool composeFilePath(WCHAR* path, const WCHAR* folder, const char* name, const char* suffix)
{
    path[0] = L'\0';
    if (lstrlenW(folder) >= pathCapacity)
        return false;
    lstrcpyW(path, folder);
    const int nameStart = appendPathName(path, pathCapacity, L"");   // the separator only
    return nameStart != 0 && writeNameAt(path, nameStart, name, suffix);
}

// The file name that ends path.
const WCHAR* fileNameOf(const WCHAR* path)
{
    const WCHAR* name = path + lstrlenW(path);
    while (name > path && name[-1] != L'\\')
        --name;
    return name;
}

// The payload entry after entry `after` (main pages 901 on, then the extra
// files 1020 on) whose file is named fileName; 0 when there is none. The
// variant's second extra file bears a main page's name.
int nextEntryNamed(const WCHAR* fileName, int after)
{
    WCHAR entryName[pathCapacity];
    int resource = firstMainResource;
    for (const char* name = mainPageNames; *name; name += lstrlenA(name) + 1, resource++) {
        if (resource > after && writeNameAt(entryName, 0, name, pageSuffix) && lstrcmpiW(entryName, fileName) == 0)
            return resource;
    }
    resource = firstExtraResource;
    for (const char* name = extraFileNames; *name; name += lstrlenA(name) + 1, resource++)
        if (resource > after && writeNameAt(entryName, 0, name, "") && lstrcmpiW(entryName, fileName) == 0)
            return resource;
    return 0;
}

// The size and CRC-32 of the open file, read from its start; false when it
// cannot be read whole.
bool readSignature(HANDLE file, BookFileSignature& signature)
{
    static uint8_t chunk[readChunk];
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.HighPart != 0)
        return false;
    uint32_t crc = 0xFFFFFFFF;
    uint32_t total = 0;
    DWORD read;
    while (ReadFile(file, chunk, readChunk, &read, nullptr) && read > 0) {
        total += read;
        for (DWORD i = 0; i < read; i++) {
            crc ^= chunk[i];
            for (int bit = 0; bit < 8; bit++)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    signature.size = total;
    signature.crc = ~crc;
    return total == size.LowPart;
}

// True when the open file holds the bytes of a payload entry of its name.
bool isBookFile(HANDLE file, const WCHAR* path)
{
    BookFileSignature found;
    if (!readSignature(file, found))
        return false;
    for (int entry = nextEntryNamed(fileNameOf(path), 0); entry; entry = nextEntryNamed(fileNameOf(path), entry)) {
        BookFileSignature book;
        if (bookFileSignature(entry, book) && found.size == book.size && found.crc == book.crc)
            return true;
    }
    return false;
}

} // namespace

void removeListedFiles(const WCHAR* folder, HANDLE held, const char* names, const char* suffix, int first,
                       RemovalReport& report)
{
    WCHAR path[pathCapacity];
    for (const char* name = names; *name; name += lstrlenA(name) + 1, first += first > 0) {
        // A path too long to compose cannot have been installed either. The
        // variant's second extra file has a main page's name, and went with it.
        if (!composeFilePath(path, folder, name, suffix) || (first > 0 && nextEntryNamed(fileNameOf(path), 0) < first))
            continue;
        const FileOutcome outcome = deletePlainFile(held, path, first > 0 ? isBookFile : nullptr);
        if (actedOn(outcome))
            logOutcome("file removed", path, outcome == FileOutcome::done);
        if (outcome == FileOutcome::failed)
            noteFailure(report, path);
        report.kept += outcome == FileOutcome::left;
    }
}
