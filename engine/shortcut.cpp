// The desktop shortcut through the shell link object and its persist-file interface.
#include "shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "install_log.h"
#include "messages.h"
#include "path_text.h"
#include "product.h"
#include "settings.h"

namespace {

constexpr WCHAR linkDescription[] = L"" TOLM_PRODUCT_NAME;

// Writes the link file next to the icon folder's path. Only S_OK counts as saved.
bool saveLink(IPersistFile* file, const char* linkName)
{
    WCHAR* path = installSettings.iconDestination.path;
    if (!writeNameAt(path, installSettings.desktopBaseLength, linkName, ""))
        return false;
    return file->Save(path, TRUE) == S_OK;
}

// The link object's wide interface: the target may be a path that the ANSI
// code page cannot hold.
bool buildAndSaveLink(const char* linkName)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    // A link whose target or description were refused still saves; both results are ignored.
    link->SetPath(installSettings.pagesDestination.path);
    link->SetDescription(linkDescription);

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
    logAction("shortcut saved", installSettings.iconDestination.path, saved ? "ok" : "failed");
    if (!saved)
        showShortcutError(linkName);
    return saved;
}
