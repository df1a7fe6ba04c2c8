// The desktop shortcut through the shell link object and its persist-file interface.
#include "shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "messages.h"
#include "product.h"
#include "settings.h"
#include "target_path.h"

namespace {

// Writes the link file next to the icon folder's path. Only S_OK counts as saved.
bool saveLink(IPersistFile* file, const char* linkName)
{
    char* path = installSettings.iconDestination.path;
    if (!writeNameAt(path, installSettings.desktopBaseLength, linkName, ""))
        return false;
    WCHAR widePath[pathCapacity];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, pathCapacity))
        return false;
    return file->Save(widePath, TRUE) == S_OK;
}

bool buildAndSaveLink(const char* linkName)
{
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    // A link whose target or description were refused still saves; both results are ignored.
    link->SetPath(installSettings.pagesDestination.path);
    link->SetDescription(productName);

    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = saveLink(file, linkName);
        file->Release();
    }
    link->Release();
    return saved;
}

} // namespace

bool createDesktopShortcut(const char* linkName)
{
    // S_FALSE means COM was already initialised on this thread (for example by
    // the folder browser): usable, and it still needs its balancing CoUninitialize.
    if (FAILED(CoInitialize(nullptr)))
        return false;
    const bool saved = buildAndSaveLink(linkName);
    CoUninitialize();
    if (!saved)
        showShortcutError(linkName);
    return saved;
}
