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
HRESULT saveLink(IPersistFile* file, const char* linkName)
{
    WCHAR* path = installSettings.iconDestination.path;
    if (!writeNameAt(path, installSettings.desktopBaseLength, linkName, ""))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return file->Save(path, TRUE);
}

// The link object's wide interface: the target may be a path that the ANSI
// code page cannot hold. S_OK when the link is saved.
HRESULT buildAndSaveLink(const char* linkName)
{
    IShellLinkW* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (FAILED(result))
        return result;
    // A link whose target or description were refused still saves; both results are ignored.
    link->SetPath(installSettings.pagesDestination.path);
    link->SetDescription(linkDescription);

    IPersistFile* file = nullptr;
    result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) {
        result = saveLink(file, linkName);
        file->Release();
    }
    link->Release();
    return result;
}

} // namespace

bool createDesktopShortcut(const char* linkName)
{
    // S_FALSE means COM was already initialised on this thread (for example by
    // the folder browser): usable, and it still needs its balancing CoUninitialize.
    const HRESULT initialised = CoInitialize(nullptr);
    if (FAILED(initialised)) {
        SetLastError(DWORD(initialised));
        logOutcome("shortcut saved", installSettings.iconDestination.path, false);
        return false;
    }
    const HRESULT result = buildAndSaveLink(linkName);
    const bool saved = result == S_OK;
    CoUninitialize();
    SetLastError(DWORD(result));
    logOutcome("shortcut saved", installSettings.iconDestination.path, saved);
    if (!saved)
        showShortcutError(linkName);
    return saved;
}
