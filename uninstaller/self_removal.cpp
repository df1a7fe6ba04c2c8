// Self-removal. A running program's file cannot be deleted on Windows, so the
// original makes a copy of itself in a private folder of the temp folder
// (private_copy.cpp) and starts it. The copy removes the book and sends the
// result back through a pipe; the original, which waited for it, exits with
// that result, so whoever started the uninstaller learns it only once the
// removal is done. The copy then waits for the original to end and removes
// its file and folder. The copy's file and folder are open with
// FILE_FLAG_DELETE_ON_CLOSE and inherited by the copy's process, so the file
// system deletes both when their last handles close: when the copy exits.
// Nothing is left behind and nothing is scheduled for a reboot.
#include "self_removal.h"

#include "install_log.h"
#include "path_text.h"

constexpr DWORD compareChunk = 1024;             // bytes compared at a time, two buffers on the stack

static bool isDigit(WCHAR c)
{
    return c >= L'0' && c <= L'9';
}

// A decimal number of at most 32 bits and the space after it; null when there is none.
static const WCHAR* readNumber(const WCHAR* cursor, unsigned long& value)
{
    unsigned long long number = 0;
    const WCHAR* digits = cursor;
    while (isDigit(*cursor) && cursor - digits < 10)
        number = number * 10 + unsigned(*cursor++ - L'0');
    if (cursor == digits || number > 0xFFFFFFFFull || *cursor != L' ')
        return nullptr;
    value = static_cast<unsigned long>(number);
    return cursor + 1;
}

static HANDLE handleFrom(unsigned long value)
{
    return reinterpret_cast<HANDLE>(ULONG_PTR(value));
}

// Handle values fit in 32 bits, also in a 64-bit process.
static unsigned long handleNumber(HANDLE handle)
{
    return static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(handle));
}

bool parseRemovalCommand(const WCHAR* commandLine, RemovalCommand& command)
{
    const WCHAR* cursor = commandLine;
    while (*cursor == L' ' || *cursor == L'\t')
        ++cursor;
    // The program name, quoted or not.
    if (*cursor == L'"') {
        for (++cursor; *cursor && *cursor != L'"'; ++cursor) {}
        if (*cursor)
            ++cursor;
    } else {
        while (*cursor && *cursor != L' ' && *cursor != L'\t')
            ++cursor;
    }
    while (*cursor == L' ' || *cursor == L'\t')
        ++cursor;
    int flagLength = lstrlenW(removalFlag);
    for (int i = 0; i < flagLength; ++i)
        if (cursor[i] != removalFlag[i])
            return false;
    cursor += flagLength;
    if (*cursor++ != L' ')
        return false;
    // The original, the pipe and the copy's file and folder are never 0; the
    // log is 0 when there is none.
    unsigned long original = 0, pipe = 0, log = 0, copyFile = 0, copyFolder = 0, options = 0;
    if (!(cursor = readNumber(cursor, original)) || !(cursor = readNumber(cursor, pipe)) ||
        !(cursor = readNumber(cursor, log)) || !(cursor = readNumber(cursor, copyFile)) ||
        !(cursor = readNumber(cursor, copyFolder)) || !(cursor = readNumber(cursor, options)) || original == 0 ||
        pipe == 0 || copyFile == 0 || copyFolder == 0 || options > 3)
        return false;
    // The rest is the original's full path: a drive path or a UNC path.
    int length = lstrlenW(cursor);
    bool absolute = (length >= 3 && cursor[1] == L':' && cursor[2] == L'\\')
        || (length >= 3 && cursor[0] == L'\\' && cursor[1] == L'\\');
    if (!absolute || length >= pathCapacity)
        return false;
    command.original = handleFrom(original);
    command.resultPipe = handleFrom(pipe);
    command.log = handleFrom(log);
    command.copyFile = handleFrom(copyFile);
    command.copyFolder = handleFrom(copyFolder);
    command.silent = options & 1;
    command.forget = options & 2;
    lstrcpyW(command.exePath, cursor);
    return true;
}

bool composeRemovalCommand(WCHAR* out, const WCHAR* copyPath, const RemovalCommand& command)
{
    WCHAR numbers[80];
    wsprintfW(numbers, L"%lu %lu %lu %lu %lu %lu ", handleNumber(command.original), handleNumber(command.resultPipe),
              handleNumber(command.log), handleNumber(command.copyFile), handleNumber(command.copyFolder),
              (command.silent ? 1ul : 0ul) | (command.forget ? 2ul : 0ul));
    const WCHAR* parts[] = {L"\"", copyPath, L"\" ", removalFlag, L" ", numbers, command.exePath};
    int used = 0;
    for (const WCHAR* part : parts) {
        int length = lstrlenW(part);
        if (used + length >= removalCommandCapacity)
            return false;
        lstrcpyW(out + used, part);
        used += length;
    }
    return true;
}

// True when both files hold the same bytes, read from their starts.
static bool sameContents(HANDLE first, HANDLE second)
{
    char firstChunk[compareChunk];
    char secondChunk[compareChunk];
    for (;;) {
        DWORD firstRead = 0;
        DWORD secondRead = 0;
        if (!ReadFile(first, firstChunk, compareChunk, &firstRead, nullptr)
            || !ReadFile(second, secondChunk, compareChunk, &secondRead, nullptr) || firstRead != secondRead)
            return false;
        if (firstRead == 0)
            return true;
        for (DWORD i = 0; i < firstRead; ++i)
            if (firstChunk[i] != secondChunk[i])
                return false;
    }
}

bool copyIsIntact(HANDLE copyFile, const WCHAR* exePath)
{
    HANDLE original = CreateFileW(exePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (original == INVALID_HANDLE_VALUE)
        return false;
    bool intact = sameContents(original, copyFile);
    CloseHandle(original);
    return intact && SetFilePointer(copyFile, 0, nullptr, FILE_BEGIN) == 0;
}

// An inheritable duplicate of one of this process's handles, or null.
static HANDLE inheritable(HANDLE handle)
{
    HANDLE duplicate = nullptr;
    if (handle && !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &duplicate, 0, TRUE,
                                   DUPLICATE_SAME_ACCESS))
        duplicate = nullptr;
    return duplicate;
}

// Starts the copy with inheritable handles of this process, of the pipe's
// write end, of the log and of the copy's own file and folder. Every handle
// taken here is closed here; the copy holds its own.
static bool launchCopy(const PrivateCopy& copy, RemovalCommand& command)
{
    WCHAR tempFolder[pathCapacity];
    bool started = false;
    command.log = inheritable(logHandle());
    command.copyFile = copy.file;
    command.copyFolder = copy.folder;
    // The copy runs in the temp folder, so that no process holds the book
    // folder or the copy's own.
    if (tempFolderOfCopy(copy.path, tempFolder) &&
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &command.original,
                        SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
        WCHAR commandLine[removalCommandCapacity];
        PROCESS_INFORMATION process;
        if (composeRemovalCommand(commandLine, copy.path, command) &&
            startPrivateCopy(copy, commandLine, tempFolder, process)) {
            // Lets the copy's error box come to the front.
            AllowSetForegroundWindow(process.dwProcessId);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            started = true;
        }
        CloseHandle(command.original);
    }
    if (command.log)
        CloseHandle(command.log);
    return started;
}

bool startRemovalCopy(const WCHAR* exePath, bool silent, bool forget, HANDLE& resultPipe)
{
    resultPipe = nullptr;
    PrivateCopy copy;
    if (!makePrivateCopy(exePath, copy))
        return false;
    // Only the write end is inherited: once the copy ends, the read end sees the pipe broken.
    HANDLE writeEnd = nullptr;
    RemovalCommand command;
    command.resultPipe = nullptr;
    if (CreatePipe(&resultPipe, &writeEnd, nullptr, 0)) {
        command.resultPipe = inheritable(writeEnd);
        CloseHandle(writeEnd);
    }
    command.silent = silent;
    command.forget = forget;
    lstrcpyW(command.exePath, exePath);
    const bool started = command.resultPipe && launchCopy(copy, command);
    if (command.resultPipe)
        CloseHandle(command.resultPipe);
    // The copy holds its file and folder now; when it did not start, these
    // were the last handles, and both are gone.
    discardPrivateCopy(copy);
    if (!started && resultPipe) {
        CloseHandle(resultPipe);
        resultPipe = nullptr;
    }
    return started;
}

DWORD waitForResult(HANDLE resultPipe)
{
    DWORD result = 0;
    DWORD read = 0;
    if (!ReadFile(resultPipe, &result, sizeof result, &read, nullptr) || read != sizeof result)
        result = ERROR_INSTALL_FAILURE;
    CloseHandle(resultPipe);
    return result;
}

void sendResult(HANDLE resultPipe, DWORD result)
{
    DWORD written = 0;
    WriteFile(resultPipe, &result, sizeof result, &written, nullptr);
    CloseHandle(resultPipe);
}

bool waitForOriginal(HANDLE original)
{
    // Only another process is waited for and its handle closed; any other number,
    // this process's own pseudo-handle included, is refused.
    DWORD processId = GetProcessId(original);
    if (processId == 0 || processId == GetCurrentProcessId())
        return false;
    DWORD result = WaitForSingleObject(original, originalWaitLimit);
    if (result == WAIT_FAILED)
        return false;
    CloseHandle(original);
    return result == WAIT_OBJECT_0;
}
