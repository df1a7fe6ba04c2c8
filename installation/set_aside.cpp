// Setting aside what an install is about to replace: the book's files in the
// pages folder and the shortcut. A rename within the same folder keeps the
// bytes and is atomic; it never replaces an existing file here, so a
// set-aside name that is already taken fails the install instead of losing
// that file.
#include "install_record.h"

#include "install_log.h"
#include "page_manifest.h"
#include "path_text.h"
#include "product.h"
#include "safe_folder.h"

namespace {

enum class Existing { none, file, blocked };

// The run's own handles of the book files it sets aside, by their index in
// the record: each file is opened and checked once, renamed through its
// handle, and at the end deleted through it. Null where the run holds none.
HANDLE keptFiles[recordNameLimit];

// A read-only file may be renamed, but it may not be replaced: the install
// treats it as it treats a file it cannot write. Nor can a file be set aside
// where its set-aside name is taken already: that file is not the run's, and
// a rollback would put it in the place of the one it could not move. A
// folder or a link of a book file's name is not the book's, and is left
// where it is: the run could not write there either. A file that can be set
// aside stays open in kept.
Existing existingFile(HANDLE folder, const WCHAR* path, HANDLE& kept)
{
    FileKind kind;
    HANDLE file = openFileAt(folder, path, DELETE, kind);
    if (kind == FileKind::absent)
        return Existing::none;
    WCHAR aside[pathCapacity];
    const char* blocked = kind != FileKind::plain                          ? "a folder or a link"
                          : GetFileAttributesW(path) & FILE_ATTRIBUTE_READONLY ? "read-only"
                          : !setAsideName(aside, path) || GetFileAttributesW(aside) != INVALID_FILE_ATTRIBUTES ||
                                  GetLastError() != ERROR_FILE_NOT_FOUND
                              ? "its set-aside name is taken or too long"
                              : nullptr;
    if (!blocked) {
        kept = file;
        return Existing::file;
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    logAction("cannot be set aside", path, blocked);
    return Existing::blocked;
}

// Appends name+suffix to the packed names unless it is there already: the
// variant's extra list repeats a main page's name. Compared without regard to
// case, as the file system compares names.
bool appendName(InstallRecord& record, int& used, const char* name, const char* suffix)
{
    char candidate[pathCapacity];
    const int length = lstrlenA(name) + lstrlenA(suffix);
    if (length >= pathCapacity)
        return false;
    lstrcpyA(candidate, name);
    lstrcpyA(candidate + lstrlenA(name), suffix);
    for (const char* entry = record.names; entry < record.names + used; entry += lstrlenA(entry) + 1)
        if (lstrcmpiA(entry, candidate) == 0)
            return true;
    // The name, its terminator and the list's final empty name must fit.
    if (record.nameCount >= recordNameLimit || used + length + 2 > recordNameCapacity)
        return false;
    lstrcpyA(record.names + used, candidate);
    used += length + 1;
    record.names[used] = '\0';
    record.nameCount++;
    return true;
}

bool appendList(InstallRecord& record, int& used, const char* names, const char* suffix)
{
    for (const char* name = names; *name; name += lstrlenA(name) + 1)
        if (!appendName(record, used, name, suffix))
            return false;
    return true;
}

} // namespace

bool setAsideName(WCHAR* out, const WCHAR* path)
{
    const int length = lstrlenW(path);
    if (length >= pathCapacity)
        return false;
    lstrcpyW(out, path);
    return writeNameAt(out, length, setAsideSuffix, "");
}

bool recordBookNames(InstallRecord& record)
{
    int used = 0;
    record.nameCount = 0;
    record.names[0] = '\0';
    return appendName(record, used, uninstallerFileName, "") && appendList(record, used, mainPageNames, pageSuffix) &&
           appendList(record, used, extraFileNames, "");
}

bool setAsideBookFiles(InstallRecord& record, HANDLE pagesFolder)
{
    WCHAR path[pathCapacity];
    WCHAR aside[pathCapacity];
    const int folderLength = lstrlenW(record.pagesFolder);
    lstrcpyW(path, record.pagesFolder);

    // Which files exist is in the journal, on disk, before the first one
    // moves; a run whose journal cannot be written stops before that.
    const char* name = record.names;
    for (int i = 0; i < record.nameCount; i++, name += lstrlenA(name) + 1) {
        const Existing existing =
            writeNameAt(path, folderLength, name, "") ? existingFile(pagesFolder, path, keptFiles[i]) : Existing::none;
        if (existing == Existing::blocked)
            return false;   // nothing has moved yet
        if (existing == Existing::file)
            record.existed[i / 8] |= uint8_t(1u << (i % 8));
    }
    if (!writeJournal(record))
        return false;

    name = record.names;
    for (int i = 0; i < record.nameCount; i++, name += lstrlenA(name) + 1) {
        if (!keptFiles[i])
            continue;
        writeNameAt(path, folderLength, name, "");
        setAsideName(aside, path);   // both fitted when the file was marked
        const bool moved = renameOpenFile(keptFiles[i], aside, false);
        logOutcome("file set aside", path, moved);
        if (!moved)
            return false;
    }
    // Files are written only once the journal says so.
    record.writing = 1;
    if (writeJournal(record))
        return true;
    record.writing = 0;
    return false;
}

bool setAsideLink(InstallRecord& record, const WCHAR* linkPath, HANDLE iconFolder)
{
    WCHAR aside[pathCapacity];
    if (lstrlenW(linkPath) >= pathCapacity)
        return false;
    // Only a file that is there needs room for its set-aside name.
    HANDLE kept = nullptr;
    const Existing existing = existingFile(iconFolder, linkPath, kept);
    if (kept)
        CloseHandle(kept);
    if (existing == Existing::blocked)
        return false;
    record.linkExisted = existing == Existing::file;
    setAsideName(aside, linkPath);
    lstrcpyW(record.linkPath, linkPath);
    if (!writeJournal(record))
        return false;
    if (!record.linkExisted)
        return true;
    const bool moved = movePlainFile(iconFolder, linkPath, aside, false) == FileOutcome::done;
    logOutcome("shortcut set aside", linkPath, moved);
    return moved;
}

HANDLE takeSetAsideFile(int index)
{
    HANDLE file = keptFiles[index];
    keptFiles[index] = nullptr;
    return file;
}

void releaseSetAsideFiles()
{
    for (int i = 0; i < recordNameLimit; i++)
        if (HANDLE file = takeSetAsideFile(i))
            CloseHandle(file);
}
