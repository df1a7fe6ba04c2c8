// bookfixture.exe: small jobs that the uninstall scenarios need inside Wine.
//   bookfixture link LINKFILE TARGET     save a shell link to TARGET as LINKFILE
//   bookfixture hold FILE RELEASEFILE    open FILE without sharing, print "held",
//                                        keep it until RELEASEFILE exists (60 s at most)
// The wizard driver reads links and answers message boxes; these two jobs are
// the ones it has no command for.
// Exit code 0 on success, 1 on failure, 2 on a usage error.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int pollInterval = 100;          // ms between looks for the release file
constexpr int holdLimit = 600;             // polls before a held file is let go (60 s)

int saveLink(const char* linkFile, const char* target)
{
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    int result = 1;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        WCHAR wide[MAX_PATH];
        if (SUCCEEDED(link->SetPath(target))
            && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (MultiByteToWideChar(CP_ACP, 0, linkFile, -1, wide, MAX_PATH) && SUCCEEDED(file->Save(wide, TRUE)))
                result = 0;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return result;
}

int holdFile(const char* path, const char* releaseFile)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    for (int poll = 0; poll < holdLimit && GetFileAttributesA(releaseFile) == INVALID_FILE_ATTRIBUTES; ++poll)
        Sleep(pollInterval);
    CloseHandle(file);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "link") == 0)
        return saveLink(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "hold") == 0)
        return holdFile(argv[2], argv[3]);
    std::fprintf(stderr, "usage: bookfixture link|hold ...\n");
    return 2;
}
