// Both programs start from folders where anyone may have left a DLL: the
// installer from a downloads folder, the uninstaller's working copy from the
// temp folder. Before anything can load a DLL late (the shell, COM, the common
// controls and their own dependencies), the search is narrowed to System32.
#pragma once

#include <windows.h>

// Call first thing at the entry point. SetDefaultDllDirectories is looked up
// at run time: it exists from Windows 8 on and on updated Windows 7 and Vista.
// Without it, SetDllDirectoryA("") at least takes the current folder out of
// the search.
inline void restrictDllSearch()
{
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!setDirectories || !setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryA("");
}
