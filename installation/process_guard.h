// What both programs set up before anything else, against what others may
// have left around them: the installer starts from a downloads folder, the
// uninstaller's copy from the temp folder, and both run as administrator.
#pragma once

#include <windows.h>

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);

// Call first thing at the entry point. Narrows the DLL search to System32
// before anything can load a DLL late (the shell, COM, the common controls
// and their own dependencies), and has the system refuse junctions that a
// user without administrator rights made, where the system offers that.
void guardProcess();

// The search narrowed with setDirectories, SetDefaultDllDirectories as the
// system has it from Windows 8 on and on updated Windows 7 and Vista. Null,
// where the system lacks it, SetDllDirectoryA("") at least takes the current
// folder out of the search; the program folder stays in it, so the programs
// load every DLL of their own by its full path (loadSystemLibrary).
void restrictDllSearch(SetDefaultDllDirectoriesProc setDirectories);

// Loads the system DLL name (such as L"comctl32.dll") by its full path in
// the system folder, whatever the search would find first; its own
// dependencies are searched for there first too. Null when it cannot be loaded.
HMODULE loadSystemLibrary(const WCHAR* name);
