// The desktop shortcut through the shell link object and its persist-file
// interface, made on a thread of its own: starting COM and loading the link
// object take tens of milliseconds (under Wine more than writing every page),
// and so does the save. The thread does both while the run writes the
// pages; the run names the link's path once the icon folder is held and an
// earlier link set aside, and waits for the result before it commits or
// undoes itself. The object lives and dies on that one thread, as an
// apartment object must.
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

HANDLE linkMaker;   // the thread, or null before it starts or where it could not
HANDLE saveNow;     // set once linkPath names the link to save, or is empty: save nothing
WCHAR target[pathCapacity];
WCHAR linkPath[pathCapacity];
HRESULT saved;      // the thread's result: S_OK once the link is saved
bool comStarted;    // COM that cannot start is no save, and no message of the link's own
bool saveAsked;

DWORD WINAPI makeLink(void*)
{
    const HRESULT initialised = CoInitialize(nullptr);
    comStarted = SUCCEEDED(initialised);
    HRESULT result = initialised;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (comStarted)
        result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result)) {
        // A link whose target or description were refused still saves; both results are ignored.
        link->SetPath(target);
        link->SetDescription(linkDescription);
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    }
    WaitForSingleObject(saveNow, INFINITE);
    if (SUCCEEDED(result))
        result = linkPath[0] ? file->Save(linkPath, TRUE) : E_ABORT;
    if (file)
        file->Release();
    if (link)
        link->Release();
    if (comStarted)
        CoUninitialize();
    saved = result;
    return 0;
}

} // namespace

void prepareDesktopShortcut(const WCHAR* firstPage)
{
    lstrcpynW(target, firstPage, pathCapacity);
    saved = E_FAIL;
    saveAsked = false;
    saveNow = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    linkMaker = saveNow ? CreateThread(nullptr, 0, makeLink, nullptr, 0, nullptr) : nullptr;
}

void saveDesktopShortcut(const WCHAR* path)
{
    lstrcpynW(linkPath, path, pathCapacity);
    saveAsked = true;
    SetEvent(saveNow);
    // Without a thread of its own the link is made here.
    if (!linkMaker)
        makeLink(nullptr);
}

bool finishDesktopShortcut(const char* linkName)
{
    if (!saveAsked) {
        linkPath[0] = L'\0';
        SetEvent(saveNow);
    }
    if (linkMaker) {
        // The wizard's thread waits here: a message the save sends to one of
        // its windows is answered meanwhile, so that the two never wait for
        // each other. Posted messages wait for the wizard's own loop.
        MSG message;
        while (MsgWaitForMultipleObjects(1, &linkMaker, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1)
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        CloseHandle(linkMaker);
        linkMaker = nullptr;
    }
    if (saveNow)
        CloseHandle(saveNow);
    saveNow = nullptr;
    if (!saveAsked)
        return true;
    saveAsked = false;
    SetLastError(DWORD(saved));
    logOutcome("shortcut saved", linkPath, saved == S_OK);
    if (saved != S_OK && comStarted)
        showShortcutError(linkName);
    return saved == S_OK;
}
