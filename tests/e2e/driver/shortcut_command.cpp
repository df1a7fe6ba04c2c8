// Reads a shell link back through the shell's own link object.
#include "driver.h"

#include <stdio.h>

#include <objbase.h>
#include <shlobj.h>

int shortcutCommand(int argc, char** argv)
{
    if (argc != 1)
        return reportUsage("shortcut");
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, argv[0], -1, wide, MAX_PATH)) {
        printf("error: link path too long\n");
        return 1;
    }
    if (FAILED(CoInitialize(nullptr))) {
        printf("error: CoInitialize\n");
        return 1;
    }
    int result = 1;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    char target[MAX_PATH] = "";
    char description[INFOTIPSIZE] = "";
    HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link));
    if (SUCCEEDED(status))
        status = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(status))
        status = file->Load(wide, STGM_READ);
    if (SUCCEEDED(status))
        status = link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
    if (SUCCEEDED(status))
        status = link->GetDescription(description, sizeof description);
    if (SUCCEEDED(status)) {
        printf("target: %s\ndescription: %s\n", target, description);
        result = 0;
    } else {
        printf("error: cannot read the link (0x%08lx)\n", static_cast<unsigned long>(status));
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return result;
}
