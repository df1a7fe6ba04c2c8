// Unattended runs: the driver starts a command line itself and watches it.
//
// The program starts suspended inside a job, so every process it starts (the
// uninstaller's temp copy) joins the job before it can run, and each of them
// is watched too. Until the started process exits, every top-level window of
// a process in the job is printed the first time it is seen; a message box is
// also read and answered, so that an unattended run that wrongly asks
// something ends instead of waiting for a user. When the started process has
// exited, the paths given are looked at at once, before anything else can
// run in this process, and each that is still there is printed. Then
// comes the exact exit code, of which a Unix parent would see only the low
// byte.
//
// Output lines:
//   window: visible|hidden CLASS: TITLE    a window, when first seen
//   msgbox text: TEXT / answered: NAME     a message box's text and the button pressed
//   windows: none                          no window was seen
//   left: PATH                             a given path (or key) still there
//   exit code: N
// A run that outlives the wait limit is ended, with the whole job.
#include "driver.h"

#include <stdio.h>

namespace {

constexpr DWORD pollIntervalMs = 20;
constexpr int seenCapacity = 64;          // distinct windows one run may show
constexpr int jobCapacity = 16;           // processes of the job looked at
constexpr int messageBoxText = 0xFFFF;
constexpr char registryPrefix[] = "HKLM\\";

struct Answer {
    const char* name;
    int button;
};

// The first of these that a box has is pressed: the one that changes nothing.
const Answer answers[] = {{"ok", IDOK}, {"no", IDNO}, {"cancel", IDCANCEL}};

struct JobProcessList {
    JOBOBJECT_BASIC_PROCESS_ID_LIST header;
    ULONG_PTR more[jobCapacity - 1];      // the header holds room for the first id
};

// The windows seen so far; a window is printed once.
struct Watch {
    HANDLE job;
    DWORD processes[jobCapacity];
    int processCount;
    HWND seen[seenCapacity];
    int seenCount;
};

void readJobProcesses(Watch& watch)
{
    JobProcessList list = {};
    list.header.NumberOfAssignedProcesses = jobCapacity;
    watch.processCount = 0;
    if (!QueryInformationJobObject(watch.job, JobObjectBasicProcessIdList, &list, sizeof list, nullptr))
        return;
    for (DWORD i = 0; i < list.header.NumberOfProcessIdsInList && i < DWORD(jobCapacity); i++)
        watch.processes[watch.processCount++] = static_cast<DWORD>(list.header.ProcessIdList[i]);
}

bool belongsToJob(const Watch& watch, HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    for (int i = 0; i < watch.processCount; i++) {
        if (watch.processes[i] == process)
            return true;
    }
    return false;
}

bool alreadySeen(const Watch& watch, HWND window)
{
    for (int i = 0; i < watch.seenCount; i++) {
        if (watch.seen[i] == window)
            return true;
    }
    return false;
}

void answerBox(HWND box)
{
    WCHAR text[textCapacity] = L"";
    GetDlgItemTextW(box, messageBoxText, text, textCapacity);
    printText("msgbox text", text);
    for (const Answer& answer : answers) {
        if (HWND button = GetDlgItem(box, answer.button)) {
            PostMessageA(button, BM_CLICK, 0, 0);
            printf("answered: %s\n", answer.name);
            return;
        }
    }
}

BOOL CALLBACK visitWindow(HWND window, LPARAM context)
{
    Watch& watch = *reinterpret_cast<Watch*>(context);
    // A run past the capacity has failed already; it is not printed again and again.
    if (!belongsToJob(watch, window) || alreadySeen(watch, window) || watch.seenCount == seenCapacity)
        return TRUE;
    watch.seen[watch.seenCount++] = window;
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    char label[96];
    wsprintfA(label, "window: %s %s", IsWindowVisible(window) ? "visible" : "hidden", className);
    printTitle(label, window);
    if (lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, messageBoxText))
        answerBox(window);
    return TRUE;
}

// A path, or "HKLM\key" for a key of HKEY_LOCAL_MACHINE, when it exists.
// Only its attributes are read: a handle open on a folder would keep the
// program's other process from removing that folder.
void reportLeft(const char* argument)
{
    WCHAR path[textCapacity];
    if (!widen(argument, path, textCapacity))
        return;
    const int prefixLength = sizeof registryPrefix - 1;
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, argument, prefixLength, registryPrefix, prefixLength) !=
        CSTR_EQUAL) {
        if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
            printText("left", path);
        return;
    }
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path + prefixLength, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        printText("left", path);
    }
}

// Starts commandLine suspended in watch.job; false when it cannot be started.
bool startInJob(const WCHAR* commandLine, Watch& watch, PROCESS_INFORMATION& process)
{
    static WCHAR writable[textCapacity];   // CreateProcessW may write into its command line
    lstrcpynW(writable, commandLine, textCapacity);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, writable, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process)) {
        printf("error: cannot start (error %lu)\n", static_cast<unsigned long>(GetLastError()));
        return false;
    }
    if (!AssignProcessToJobObject(watch.job, process.hProcess)) {
        printf("error: cannot watch the process (error %lu)\n", static_cast<unsigned long>(GetLastError()));
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return false;
    }
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    return true;
}

// Watches until the process exits or waitLimitMs passes; true when it exited.
bool watchUntilExit(HANDLE process, Watch& watch)
{
    const DWORD start = GetTickCount();
    for (;;) {
        readJobProcesses(watch);
        EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&watch));
        if (WaitForSingleObject(process, pollIntervalMs) == WAIT_OBJECT_0)
            return true;
        if (GetTickCount() - start >= waitLimitMs)
            return false;
    }
}

int watchRun(const WCHAR* commandLine, int pathCount, char** paths)
{
    static Watch watch;
    watch.job = CreateJobObjectW(nullptr, nullptr);
    if (!watch.job) {
        printf("error: no job object (error %lu)\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    PROCESS_INFORMATION process = {};
    if (!startInJob(commandLine, watch, process)) {
        CloseHandle(watch.job);
        return 1;
    }
    const bool exited = watchUntilExit(process.hProcess, watch);
    int result = 0;
    if (exited) {
        for (int i = 0; i < pathCount; i++)
            reportLeft(paths[i]);
        if (watch.seenCount == 0)
            printf("windows: none\n");
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        printf("exit code: %lu\n", static_cast<unsigned long>(exitCode));
    } else {
        // Every process of the run ends with it; none is left to a later scenario step.
        TerminateJobObject(watch.job, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        result = reportTimeout("the program is still running");
    }
    CloseHandle(process.hProcess);
    CloseHandle(watch.job);
    return result;
}

} // namespace

int watchCommand(int argc, char** argv)
{
    if (argc < 1)
        return reportUsage("watch");
    static WCHAR commandLine[textCapacity];
    if (!widen(argv[0], commandLine, textCapacity)) {
        printf("error: the command line is not UTF-8 or too long\n");
        return 2;
    }
    return watchRun(commandLine, argc - 1, argv + 1);
}
