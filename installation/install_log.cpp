// The action log (install_log.h). Lines are written one WriteFile each, as
// they happen, so the log of a killed process ends at its last action.
#include "install_log.h"

#include "path_text.h"
#include "safe_folder.h"

namespace {

constexpr int lineCapacity = 1024;     // bytes of one UTF-8 line: a path of 260 characters fits thrice over
constexpr char failedFormat[] = "failed (error %lu)";
constexpr char failedResultFormat[] = "failed (error 0x%08lX)";   // an HRESULT

HANDLE logFile;

// Appends text to the line at used, within the line's capacity.
int append(char* line, int used, const char* text)
{
    while (*text && used < lineCapacity - 3)
        line[used++] = *text++;
    return used;
}

void writeLine(const char* action, const WCHAR* subject, const char* subjectText, const char* result)
{
    if (!logFile)
        return;
    // Logging leaves the error of what it logs for the caller to act on.
    const DWORD error = GetLastError();
    char line[lineCapacity];
    SYSTEMTIME now;
    GetLocalTime(&now);
    int used = wsprintfA(line, "%04u-%02u-%02u %02u:%02u:%02u.%03u\t", now.wYear, now.wMonth, now.wDay, now.wHour,
                         now.wMinute, now.wSecond, now.wMilliseconds);
    used = append(line, used, action);
    used = append(line, used, "\t");
    const int subjectStart = used;
    if (subject) {
        // A subject longer than the room left is cut to whole characters:
        // each takes at least one byte, so at most room of them can fit, and
        // a surrogate pair is never split.
        const int room = lineCapacity - 3 - used - 64;
        int length = lstrlenW(subject);
        if (length > room)
            length = room;
        int written = 0;
        for (; length > 0; --length) {
            const WCHAR last = subject[length - 1];
            if (last >= 0xD800 && last <= 0xDBFF)
                continue;   // the first half of a pair whose second half is cut off
            written = WideCharToMultiByte(CP_UTF8, 0, subject, length, line + used, room, nullptr, nullptr);
            if (written > 0)
                break;
        }
        used += written;
    } else {
        used = append(line, used, subjectText);
    }
    // One line per action: a line break or tab inside a subject (the usage
    // text has both) would split the record, so each is written as a space.
    for (int i = subjectStart; i < used; i++) {
        if (line[i] == '\r' || line[i] == '\n' || line[i] == '\t')
            line[i] = ' ';
    }
    used = append(line, used, "\t");
    used = append(line, used, result);
    line[used++] = '\r';
    line[used++] = '\n';
    DWORD written = 0;
    WriteFile(logFile, line, DWORD(used), &written, nullptr);
    SetLastError(error);
}

// What a verdict other than usable on the log or its folder makes of the log.
LogOpening refusalOf(FolderVerdict verdict)
{
    return verdict == FolderVerdict::linked       ? LogOpening::refused
           : verdict == FolderVerdict::unreadable ? LogOpening::unchecked
                                                  : LogOpening::unwritable;
}

} // namespace

LogOpening openLog(const WCHAR* path)
{
    closeLog();
    WCHAR full[pathCapacity];
    WCHAR* name = nullptr;
    const DWORD length = GetFullPathNameW(path, pathCapacity, full, &name);
    if (length == 0 || length >= DWORD(pathCapacity) || !name || !*name)
        return LogOpening::unwritable;
    // The folder, held while the file is opened in it, so that it is the one
    // its path names when the file is.
    WCHAR folder[pathCapacity];
    lstrcpynW(folder, full, int(name - full) + 1);
    HANDLE held;
    FolderVerdict verdict = holdFolder(folder, held);
    if (verdict != FolderVerdict::usable)
        return refusalOf(verdict);
    HANDLE file = CreateFileW(full, GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    releaseFolder(held);
    if (file == INVALID_HANDLE_VALUE)
        return LogOpening::unwritable;
    // Wine shows a link to a file as a plain file of one name; the path the
    // system reached it by tells.
    BY_HANDLE_FILE_INFORMATION info;
    verdict = GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
                      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                      !((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && reparseIsLink(file))
                  ? reachedVerdict(file, full)
                  : FolderVerdict::linked;
    // An existing log is emptied only once it is known to be one; a file
    // made here for a log that is refused goes again.
    if (verdict != FolderVerdict::usable || (existed && !SetEndOfFile(file))) {
        if (!existed)
            deleteThrough(file);
        CloseHandle(file);
        return refusalOf(verdict);
    }
    logFile = file;
    return LogOpening::opened;
}

void useLog(HANDLE file)
{
    closeLog();
    logFile = file;
}

HANDLE logHandle()
{
    return logFile;
}

void closeLog()
{
    if (logFile)
        CloseHandle(logFile);
    logFile = nullptr;
}

void logAction(const char* action, const WCHAR* subject, const char* result)
{
    writeLine(action, subject, nullptr, result);
}

void logOutcome(const char* action, const WCHAR* subject, bool succeeded)
{
    if (!logFile)
        return;
    char result[40];
    const DWORD error = GetLastError();
    if (succeeded)
        lstrcpyA(result, "ok");
    else
        wsprintfA(result, error > 0xFFFF ? failedResultFormat : failedFormat, static_cast<unsigned long>(error));
    writeLine(action, subject, nullptr, result);
    SetLastError(error);
}

void logText(const char* action, const char* text)
{
    writeLine(action, nullptr, text, "");
}
