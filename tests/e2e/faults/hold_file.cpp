// hold-file PATH SECONDS: opens PATH for reading with share mode 0, so that no
// other process can open it, prints "held" and keeps it open for SECONDS (or
// until it is ended). Stands in for a program that has a page open.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        printf("usage: hold-file PATH SECONDS\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        printf("error: cannot open %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    printf("held\n");
    Sleep(static_cast<DWORD>(atoi(argv[2])) * 1000);
    CloseHandle(file);
    printf("released\n");
    return 0;
}
