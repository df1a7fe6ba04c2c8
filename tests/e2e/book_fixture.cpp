// bookfixture.exe: small jobs that the uninstall scenarios need inside Wine.
//   bookfixture link LINKFILE TARGET     save a shell link to TARGET as LINKFILE
//   bookfixture hold FILE RELEASEFILE    open FILE without sharing, print "held",
//                                        keep it until RELEASEFILE exists (60 s at most)
//   bookfixture run COMMAND_LINE         start COMMAND_LINE as Add/Remove Programs
//                                        starts an uninstall command, wait for it,
//                                        print "exit code: N" and exit with it (a
//                                        Unix parent sees only its low byte)
// The wizard driver reads links and answers message boxes; these jobs are the
// ones it has no command for. The arguments are taken as UTF-16, so paths the
// ANSI code page cannot hold arrive whole.
// Exit code 0 on success, 1 on failure, 2 on a usage error (run: the command's).
#include <windows.h>
#include <shlobj.h>

#include <cstdio>

namespace {

constexpr int pollInterval = 100;          // ms between looks for the release file
constexpr int holdLimit = 600;             // polls before a held file is let go (60 s)
constexpr int commandLineCapacity = 32768; // CreateProcessW's limit, in characters

int saveLink(const wchar_t* linkFile, const wchar_t* target)
{
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    int result = 1;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->SetPath(target))
            && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Save(linkFile, TRUE)))
                result = 0;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return result;
}

int holdFile(const wchar_t* path, const wchar_t* releaseFile)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    for (int poll = 0; poll < holdLimit && GetFileAttributesW(releaseFile) == INVALID_FILE_ATTRIBUTES; ++poll)
        Sleep(pollInterval);
    CloseHandle(file);
    return 0;
}

// The command line goes to CreateProcessW whole, without an application name,
// so the system splits off the program as it does for the uninstall key's value.
int runCommand(const wchar_t* commandLine)
{
    static wchar_t writable[commandLineCapacity];   // CreateProcessW may write into its command line
    if (lstrlenW(commandLine) >= commandLineCapacity)
        return 2;
    lstrcpyW(writable, commandLine);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, writable, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("cannot start: error %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    std::printf("exit code: %lu\n", static_cast<unsigned long>(exitCode));
    return static_cast<int>(exitCode);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && lstrcmpW(argv[1], L"link") == 0)
        return saveLink(argv[2], argv[3]);
    if (argc == 4 && lstrcmpW(argv[1], L"hold") == 0)
        return holdFile(argv[2], argv[3]);
    if (argc == 3 && lstrcmpW(argv[1], L"run") == 0)
        return runCommand(argv[2]);
    std::fprintf(stderr, "usage: bookfixture link|hold|run ...\n");
    return 2;
}
