// Putting what the journal guards on disk before the journal says it is
// there: a power loss must never leave the journal marking pages committed
// that the disk does not hold, nor drop the journal of renames that the disk
// does hold.
//
// One flush of the whole volume writes everything at once; it needs the
// right to open the volume, which an administrator has on a local drive.
// Where the volume cannot be flushed (a network folder, or a system without
// the call), each file is flushed as it is written, and each folder for its
// entries before the commit.
#include "install_record.h"

#include "install_log.h"
#include "path_text.h"

namespace {

constexpr DWORD anySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Flushes the file or folder at path through a handle of its own. Nothing
// there has nothing to flush: what the run did there failed, and said so.
bool flushAt(const WCHAR* path)
{
    // Writing data is the access a flush needs; for a folder it is adding files.
    HANDLE file = CreateFileW(path, FILE_WRITE_DATA | SYNCHRONIZE, anySharing, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    const bool flushed = FlushFileBuffers(file);
    CloseHandle(file);
    return flushed;
}

// The drive letter of the volume that holds folder; 0 for none.
WCHAR volumeLetter(const WCHAR* folder)
{
    WCHAR root[pathCapacity];
    return GetVolumePathNameW(folder, root, pathCapacity) && root[1] == L':' ? root[0] : 0;
}

// The volume of drive letter, flushed whole; false where it cannot be.
bool flushVolume(WCHAR letter)
{
    WCHAR volume[] = L"\\\\.\\?:";
    volume[4] = letter;
    HANDLE handle = letter ? CreateFileW(volume, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr)
                           : INVALID_HANDLE_VALUE;
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = FlushFileBuffers(handle);
    CloseHandle(handle);
    return flushed;
}

// The volumes of the record's folders, each once.
bool flushVolumes(const InstallRecord& record)
{
    const WCHAR pages = volumeLetter(record.pagesFolder);
    const WCHAR icon = record.iconFolder[0] ? volumeLetter(record.iconFolder) : pages;
    return flushVolume(pages) && (icon == pages || flushVolume(icon));
}

// The record's folders, each for its entries, the icon folder only when the
// run reached it.
bool flushFolders(const InstallRecord& record)
{
    const bool pages = flushAt(record.pagesFolder);
    return (record.iconFolder[0] == L'\0' || flushAt(record.iconFolder)) && pages;
}

// Where the volume does not flush whole, a worker thread flushes and closes
// each file the run has written while the run decodes the next one: the
// waits for the disk overlap the work. A run writes at most one file per
// book name; the last slot holds the null handle that ends the worker.
bool volumeFlushes;
HANDLE handedFiles[recordNameLimit + 1];
LONG handedCount;
HANDLE filesWaiting;   // a semaphore: one count per handed file, one more for the end
HANDLE flushWorker;
volatile LONG flushFailed;

DWORD WINAPI flushHandedFiles(void*)
{
    for (int next = 0;; next++) {
        WaitForSingleObject(filesWaiting, INFINITE);
        HANDLE file = handedFiles[next];
        if (!file)
            return 0;
        if (!FlushFileBuffers(file))
            InterlockedExchange(&flushFailed, 1);
        CloseHandle(file);
    }
}

} // namespace

void prepareFlushes(const WCHAR* pagesFolder)
{
    volumeFlushes = flushVolume(volumeLetter(pagesFolder));
    handedCount = 0;
    flushFailed = 0;
    if (volumeFlushes)
        return;
    filesWaiting = CreateSemaphoreW(nullptr, 0, recordNameLimit + 1, nullptr);
    flushWorker = filesWaiting ? CreateThread(nullptr, 0, flushHandedFiles, nullptr, 0, nullptr) : nullptr;
}

bool closeWrittenFile(HANDLE file)
{
    if (!volumeFlushes && flushWorker && handedCount < recordNameLimit) {
        handedFiles[handedCount++] = file;
        ReleaseSemaphore(filesWaiting, 1, nullptr);
        return true;
    }
    // No worker: flushed here, unless the volume flushes whole.
    const bool flushed = volumeFlushes || FlushFileBuffers(file);
    CloseHandle(file);
    return flushed;
}

bool finishFileFlushes()
{
    if (flushWorker) {
        handedFiles[handedCount] = nullptr;
        ReleaseSemaphore(filesWaiting, 1, nullptr);
        WaitForSingleObject(flushWorker, INFINITE);
        CloseHandle(flushWorker);
        flushWorker = nullptr;
    }
    if (filesWaiting)
        CloseHandle(filesWaiting);
    filesWaiting = nullptr;
    return !flushFailed;
}

bool flushBookFiles(const InstallRecord& record)
{
    // Where the pages volume flushes whole, that covers the book files and
    // the folder's entries, and a volume that fails now fails the run.
    // Otherwise the files were flushed as they were written; the folder's
    // entries remain. The shortcut can lie on another volume, one that cannot
    // be flushed whole (a desktop on a network share), so the link and its
    // folder's entries are flushed on their own: on a volume just flushed
    // whole, that finds nothing left to write.
    const bool pages = volumeFlushes ? flushVolume(volumeLetter(record.pagesFolder)) : flushAt(record.pagesFolder);
    const bool link = record.linkPath[0] == L'\0' || flushAt(record.linkPath);
    const bool flushed = (record.iconFolder[0] == L'\0' || flushAt(record.iconFolder)) && link && pages;
    logOutcome("files flushed to disk", record.pagesFolder, flushed);
    return flushed;
}

bool flushFolderEntries(const InstallRecord& record)
{
    return flushVolumes(record) || flushFolders(record);
}
