// Self-removal. A running program's file cannot be deleted on Windows, so the
// original copies itself to the temp folder and starts the copy, which waits for
// the original to end and then does all the removing. The copy is opened here
// with FILE_FLAG_DELETE_ON_CLOSE and that handle is inherited by the copy's
// process, so the file system deletes the copy when its last handle closes: when
// the copy exits. Nothing is left behind and nothing is scheduled for a reboot.
#include "uninstall.h"

static const WCHAR copyPrefix[] = L"kst";        // GetTempFileNameW uses up to 3 characters
constexpr DWORD originalWaitLimit = 60 * 1000;   // ms; an original that lingers only costs its own file
constexpr DWORD compareChunk = 1024;             // bytes compared at a time, two buffers on the stack

static bool isDigit(WCHAR c)
{
    return c >= L'0' && c <= L'9';
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
    // A handle value: decimal, 32 bits, not zero.
    unsigned long long value = 0;
    const WCHAR* digits = cursor;
    while (isDigit(*cursor) && cursor - digits < 10)
        value = value * 10 + unsigned(*cursor++ - L'0');
    if (cursor == digits || value == 0 || value > 0xFFFFFFFFull || *cursor++ != L' ')
        return false;
    // The rest is the original's full path: a drive path or a UNC path.
    int length = lstrlenW(cursor);
    bool absolute = (length >= 3 && cursor[1] == L':' && cursor[2] == L'\\')
        || (length >= 3 && cursor[0] == L'\\' && cursor[1] == L'\\');
    if (!absolute || length >= pathCapacity)
        return false;
    command.original = reinterpret_cast<HANDLE>(ULONG_PTR(value));
    lstrcpyW(command.exePath, cursor);
    return true;
}

bool composeRemovalCommand(WCHAR* out, const WCHAR* copyPath, HANDLE original, const WCHAR* exePath)
{
    WCHAR number[16];
    wsprintfW(number, L"%lu", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(original)));
    const WCHAR* parts[] = {L"\"", copyPath, L"\" ", removalFlag, L" ", number, L" ", exePath};
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

// Starts the copy with an inheritable handle of this process and of the copy's
// own file. Every handle taken here is closed here; the copy holds its own.
static bool launchCopy(const WCHAR* copyPath, const WCHAR* tempFolder, const WCHAR* exePath)
{
    // Filled in field by field: an initialiser list would be copied from
    // initialised writable data, which the program does not have.
    SECURITY_ATTRIBUTES inheritable;
    inheritable.nLength = sizeof inheritable;
    inheritable.lpSecurityDescriptor = nullptr;
    inheritable.bInheritHandle = TRUE;
    HANDLE copyFile = CreateFileW(copyPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inheritable,
                                  OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (copyFile == INVALID_HANDLE_VALUE)
        return false;
    HANDLE self = nullptr;
    bool started = false;
    if (copyIsIntact(copyFile, exePath) && DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                        SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
        WCHAR commandLine[removalCommandCapacity];
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        // The copy runs in the temp folder so that no process holds the book folder.
        if (composeRemovalCommand(commandLine, copyPath, self, exePath)
            && CreateProcessW(copyPath, commandLine, nullptr, nullptr, TRUE, 0, nullptr, tempFolder, &startup, &process)) {
            // Lets the copy's error box come to the front once this process has gone.
            AllowSetForegroundWindow(process.dwProcessId);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            started = true;
        }
        CloseHandle(self);
    }
    // When the copy did not start, this was the last handle and the copy is gone.
    CloseHandle(copyFile);
    return started;
}

bool startRemovalCopy(const WCHAR* exePath)
{
    WCHAR tempFolder[pathCapacity];
    DWORD length = GetTempPathW(pathCapacity, tempFolder);
    if (length == 0 || length >= DWORD(pathCapacity))
        return false;
    WCHAR copyPath[MAX_PATH];
    if (GetTempFileNameW(tempFolder, copyPrefix, 0, copyPath) == 0)
        return false;
    // GetTempFileNameW has created the file: from here a failure must delete it.
    bool started = CopyFileW(exePath, copyPath, FALSE) && launchCopy(copyPath, tempFolder, exePath);
    if (!started)
        DeleteFileW(copyPath);
    return started;
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
    return true;
}
