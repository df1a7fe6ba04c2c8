// Bounded path composition and ASCII-case-insensitive path comparison.
#include "uninstall.h"

static char foldCase(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// Length of folder without a trailing backslash.
static int folderLength(const char* folder)
{
    int length = lstrlenA(folder);
    if (length > 0 && folder[length - 1] == '\\')
        --length;
    return length;
}

static bool samePrefix(const char* first, const char* second, int length)
{
    for (int i = 0; i < length; ++i)
        if (foldCase(first[i]) != foldCase(second[i]))
            return false;
    return true;
}

bool samePath(const char* first, const char* second)
{
    int length = lstrlenA(first);
    return length == lstrlenA(second) && samePrefix(first, second, length);
}

int appendPathName(char* path, int capacity, const char* name)
{
    int length = lstrlenA(path);
    bool needsSeparator = length > 0 && path[length - 1] != '\\';
    int total = length + (needsSeparator ? 1 : 0) + lstrlenA(name);
    if (total >= capacity)
        return 0;
    if (needsSeparator)
        path[length++] = '\\';
    lstrcpyA(path + length, name);
    return total;
}

int cutLastName(char* path)
{
    int end = folderLength(path);
    while (end > 0 && path[end - 1] != '\\')
        --end;
    if (end == 0)
        return 0;
    path[end - 1] = '\0';
    return end - 1;
}

bool isBelowFolder(const char* path, const char* folder)
{
    int length = folderLength(folder);
    return length > 0 && lstrlenA(path) > length + 1 && path[length] == '\\'
        && samePrefix(path, folder, length);
}

bool isDirectlyInFolder(const char* path, const char* folder)
{
    if (!isBelowFolder(path, folder))
        return false;
    for (const char* rest = path + folderLength(folder) + 1; *rest; ++rest)
        if (*rest == '\\')
            return false;
    return true;
}
