// bookfixture.exe: small jobs that the uninstall scenarios need inside Wine.
//   bookfixture link LINKFILE TARGET     save a shell link to TARGET as LINKFILE
//   bookfixture hold FILE RELEASEFILE    open FILE without sharing, print "held",
//                                        keep it until RELEASEFILE exists (60 s at most)
//   bookfixture run COMMAND_LINE         start COMMAND_LINE as Add/Remove Programs
//                                        starts an uninstall command, wait for it,
//                                        print "exit code: N" and exit with it (a
//                                        Unix parent sees only its low byte)
//   bookfixture rights PATH              print PATH's owner ("owner SID") and each
//                                        entry of its DACL ("allow|deny SID MASK"),
//                                        as GetNamedSecurityInfoW reads them
//   bookfixture plant-journal FOLDER [NAME...]
//                                        write the uninstall key's journal as a run
//                                        into FOLDER (ending in a backslash) that
//                                        was writing would: NAMEs, or the book's own
//                                        names when none is given, all written by
//                                        the run, the first of them set aside
//   bookfixture key-rights SDDL          give the uninstall key the DACL that SDDL
//                                        describes
//   bookfixture short PATH               print PATH with the system's short names
//                                        (GetShortPathNameW), as %TEMP% may hold them
// The wizard driver reads links and answers message boxes; these jobs are the
// ones it has no command for. The arguments are taken as UTF-16, so paths the
// ANSI code page cannot hold arrive whole.
// Exit code 0 on success, 1 on failure, 2 on a usage error (run: the command's).
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "install_record.h"
#include "product.h"

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

int printRights(const wchar_t* path)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return 1;
    auto printSid = [](const char* label, PSID sid, DWORD mask) {
        wchar_t* text = nullptr;
        if (ConvertSidToStringSidW(sid, &text)) {
            std::printf(mask == DWORD(-1) ? "%s %ls\n" : "%s %ls 0x%lx\n", label, text, static_cast<unsigned long>(mask));
            LocalFree(text);
        }
    };
    if (owner)
        printSid("owner", owner, DWORD(-1));
    for (DWORD i = 0; dacl && i < dacl->AceCount; i++) {
        ACE_HEADER* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)))
            continue;
        auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (ace->AceType == ACCESS_ALLOWED_ACE_TYPE || ace->AceType == ACCESS_DENIED_ACE_TYPE)
            printSid(ace->AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow" : "deny", &allowed->SidStart, allowed->Mask);
    }
    if (!dacl)
        std::printf("no dacl\n");
    LocalFree(descriptor);
    return 0;
}

// The record of a run that set aside its first name and wrote all of them.
InstallRecord planted;

int plantJournal(int count, wchar_t** names)
{
    const int folderLength = lstrlenW(names[0]);
    if (folderLength >= pathCapacity)
        return 2;
    lstrcpyW(planted.pagesFolder, names[0]);
    if (count == 1) {
        if (!recordBookNames(planted))
            return 1;
    } else {
        int used = 0;
        for (int i = 1; i < count; i++) {
            const int length = WideCharToMultiByte(CP_ACP, 0, names[i], -1, planted.names + used,
                                                   recordNameCapacity - used - 1, nullptr, nullptr);
            if (length == 0)
                return 2;
            used += length;
            planted.nameCount++;
        }
        planted.names[used] = '\0';
    }
    planted.existed[0] = 1;
    planted.writing = 1;
    return writeJournal(planted) ? 0 : 1;
}

int setKeyRights(const wchar_t* sddl)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallKeyPath, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return 1;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool set = ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr) &&
                     RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return set ? 0 : 1;
}

int printShortName(const wchar_t* path)
{
    wchar_t name[MAX_PATH];
    const DWORD length = GetShortPathNameW(path, name, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    char utf8[4 * MAX_PATH];
    WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s\n", utf8);
    return 0;
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
    if (argc == 3 && lstrcmpW(argv[1], L"rights") == 0)
        return printRights(argv[2]);
    if (argc >= 3 && lstrcmpW(argv[1], L"plant-journal") == 0)
        return plantJournal(argc - 2, argv + 2);
    if (argc == 3 && lstrcmpW(argv[1], L"key-rights") == 0)
        return setKeyRights(argv[2]);
    if (argc == 3 && lstrcmpW(argv[1], L"short") == 0)
        return printShortName(argv[2]);
    std::fprintf(stderr, "usage: bookfixture link|hold|run|rights|plant-journal|key-rights|short ...\n");
    return 2;
}
