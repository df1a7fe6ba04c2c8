// Text at the driver's edges. Arguments arrive as UTF-16 (Wine builds the
// Windows command line from the Unix one) and the commands get them in UTF-8;
// every line goes out in UTF-8. So a script compares plain UTF-8 strings
// whatever the ANSI code page can hold, and inside, the wide calls see each
// name exactly as it is.
#include "driver.h"

#include <stdio.h>

bool widen(const char* utf8, WCHAR* out, int capacity)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, out, capacity) != 0;
}

bool narrowToUtf8(const WCHAR* text, char* out, int capacity)
{
    return WideCharToMultiByte(CP_UTF8, 0, text, -1, out, capacity, nullptr, nullptr) != 0;
}

void printText(const char* label, const WCHAR* text)
{
    char utf8[textCapacity * 3];   // a UTF-16 unit takes at most three UTF-8 bytes
    if (!narrowToUtf8(text, utf8, sizeof utf8))
        utf8[0] = '\0';
    printf("%s: %s\n", label, utf8);
}

void printTitle(const char* label, HWND window)
{
    WCHAR title[textCapacity] = L"";
    GetWindowTextW(window, title, textCapacity);
    printText(label, title);
}
