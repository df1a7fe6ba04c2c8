// dll-probe [--restricted | --without-default-directories] NAME...: loads
// each NAME from the probe's own folder and prints "NAME: <folder of the
// loaded module>". With --restricted it first guards the process as both
// programs' entry points do, then loads by name. With
// --without-default-directories it narrows the search as a system without
// SetDefaultDllDirectories lets it, then loads as the programs load a DLL of
// their own, by its full path in the system folder. The plain mode proves
// that a planted DLL is picked up at all, so that the other modes and the
// install scenario are not passing by accident.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "process_guard.h"

int main(int argc, char** argv)
{
    int first = 1;
    bool bySystemPath = false;
    if (argc > 1 && strcmp(argv[1], "--restricted") == 0) {
        guardProcess();
        first = 2;
    } else if (argc > 1 && strcmp(argv[1], "--without-default-directories") == 0) {
        restrictDllSearch(nullptr);
        bySystemPath = true;
        first = 2;
    }
    for (int i = first; i < argc; i++) {
        wchar_t name[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, argv[i], -1, name, MAX_PATH);
        const HMODULE module = bySystemPath ? loadSystemLibrary(name) : LoadLibraryA(argv[i]);
        char path[MAX_PATH] = "";
        if (module)
            GetModuleFileNameA(module, path, MAX_PATH);
        char* slash = strrchr(path, '\\');
        if (slash)
            *slash = '\0';
        printf("%s: %s\n", argv[i], module ? path : "(not loaded)");
    }
    return 0;
}
