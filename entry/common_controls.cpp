// The common controls, loaded on first use instead of at process start.
//
// Every other DLL the installer imports is one of Windows' known DLLs, which
// the loader maps from System32, with their dependencies, whatever folder the
// program starts from. comctl32 is not: imported at load time, it and its own
// imports would be searched for in the program's folder first, before any of
// our code runs. So nothing calls comctl32 by name: bindCommonControls loads
// it by its full path in the system folder (a system that cannot narrow the
// search would still look in the program's folder first) and hands out its
// PropertySheetA, which the wizard calls through.
#include "common_controls.h"

#include "process_guard.h"

ShowPropertySheet bindCommonControls()
{
    const HMODULE module = loadSystemLibrary(L"comctl32.dll");
    if (!module)
        return nullptr;
    const FARPROC init = GetProcAddress(module, "InitCommonControls");
    const FARPROC sheet = GetProcAddress(module, "PropertySheetA");
    if (!init || !sheet) {
        FreeLibrary(module);
        return nullptr;
    }
    // The module stays loaded for the rest of the process: the wizard lives in it.
    reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(init))();
    return reinterpret_cast<ShowPropertySheet>(reinterpret_cast<void*>(sheet));
}
