// Reads a shell link back through the shell's own link object.
//
// The target is the path that the link's item ID list spells out. The path a
// link keeps beside it is only a fallback, and Wine stores that one in the ANSI
// code page alone, so a name the code page lacks would come back as '?'. Only
// a link without an item list (one saved to a target that did not exist) is
// read by that path.
#include "driver.h"

#include <stdio.h>

#include <objbase.h>
#include <shlobj.h>

namespace {

// The link's target into target (MAX_PATH characters).
HRESULT readTarget(IShellLinkW* link, WCHAR* target)
{
    PIDLIST_ABSOLUTE items = nullptr;
    HRESULT status = link->GetIDList(&items);
    if (status == S_OK && items) {
        if (!SHGetPathFromIDListW(items, target))
            status = E_FAIL;
        CoTaskMemFree(items);
        return status;
    }
    return link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
}

} // namespace

int shortcutCommand(int argc, char** argv)
{
    WCHAR linkFile[MAX_PATH];
    if (argc != 1 || !widen(argv[0], linkFile, MAX_PATH))
        return reportUsage("shortcut");
    if (FAILED(CoInitialize(nullptr))) {
        printf("error: CoInitialize\n");
        return 1;
    }
    int result = 1;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR target[MAX_PATH] = L"";
    WCHAR description[INFOTIPSIZE] = L"";
    HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (SUCCEEDED(status))
        status = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(status))
        status = file->Load(linkFile, STGM_READ);
    if (SUCCEEDED(status))
        status = readTarget(link, target);
    if (SUCCEEDED(status))
        status = link->GetDescription(description, INFOTIPSIZE);
    if (SUCCEEDED(status)) {
        printText("target", target);
        printText("description", description);
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
