// The common controls, loaded on first use instead of at process start.
//
// Every other DLL the installer imports is one of Windows' known DLLs, which
// the loader maps from System32, with their dependencies, whatever folder the
// program starts from. comctl32 is not: imported at load time, it and its own
// imports would be searched for in the program's folder first, before any of
// our code runs. So the two import slots that the headers' dllimport
// declarations call through are defined here, and bindCommonControls loads
// comctl32 by its full path in the system folder (a system that cannot
// narrow the search would still look in the program's folder first) and
// points both slots at the real functions.
#include "common_controls.h"

#include "abi_names.h"
#include "process_guard.h"

#include <windows.h>
#include <commctrl.h>

using InitCommonControlsProc = void(WINAPI*)();
using PropertySheetAProc = INT_PTR(WINAPI*)(LPCPROPSHEETHEADERA);

// The symbols an import library would otherwise provide; objects are linked
// before libraries, so these win and comctl32 never becomes a load-time import.
// They start null (in .bss, no file bytes): nothing calls either function
// before bindCommonControls has succeeded.
extern "C" {
InitCommonControlsProc initCommonControlsSlot asm(TOLM_IMPORT_SLOT(InitCommonControls, 0));
PropertySheetAProc propertySheetSlot asm(TOLM_IMPORT_SLOT(PropertySheetA, 4));
}

bool bindCommonControls()
{
    const HMODULE module = loadSystemLibrary(L"comctl32.dll");
    if (!module)
        return false;
    const FARPROC init = GetProcAddress(module, "InitCommonControls");
    const FARPROC sheet = GetProcAddress(module, "PropertySheetA");
    if (!init || !sheet) {
        FreeLibrary(module);
        return false;
    }
    // The module stays loaded for the rest of the process: the wizard lives in it.
    initCommonControlsSlot = reinterpret_cast<InitCommonControlsProc>(reinterpret_cast<void*>(init));
    propertySheetSlot = reinterpret_cast<PropertySheetAProc>(reinterpret_cast<void*>(sheet));
    InitCommonControls();
    return true;
}
