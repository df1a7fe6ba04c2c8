// dll-probe [--restricted] NAME...: loads each NAME with LoadLibraryA from the
// probe's own folder and prints "NAME: <folder of the loaded module>". With
// --restricted it first narrows the search as both programs' entry points do.
// The plain mode proves that a planted DLL is picked up at all, so that the
// restricted mode and the install scenario are not passing by accident.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "dll_search.h"

int main(int argc, char** argv)
{
    int first = 1;
    if (argc > 1 && strcmp(argv[1], "--restricted") == 0) {
        restrictDllSearch();
        first = 2;
    }
    for (int i = first; i < argc; i++) {
        const HMODULE module = LoadLibraryA(argv[i]);
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
