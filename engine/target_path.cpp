// Bounded name composition: every write into a path buffer goes through here,
// so no caller can run past its end.
#include "target_path.h"

static WCHAR* widenInto(WCHAR* out, const char* ascii)
{
    while (*ascii)
        *out++ = WCHAR(static_cast<unsigned char>(*ascii++));
    return out;
}

bool writeNameAt(WCHAR* path, int position, const char* name, const char* suffix, int capacity)
{
    if (position < 0 || position >= capacity)
        return false;
    const int nameLength = lstrlenA(name);
    const int suffixLength = lstrlenA(suffix);
    // Room for both parts and the terminator.
    if (nameLength + suffixLength >= capacity - position)
        return false;
    *widenInto(widenInto(path + position, name), suffix) = L'\0';
    return true;
}

int boundedLength(const WCHAR* text, int capacity)
{
    int length = 0;
    while (length < capacity && text[length] != L'\0')
        ++length;
    return length;
}

bool cutPathAt(WCHAR* path, int length)
{
    if (length < 0 || length >= pathCapacity)
        return false;
    path[length] = L'\0';
    return true;
}
