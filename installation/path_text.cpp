// Bounded path composition and ASCII-case-insensitive path comparison. Every
// write into a path buffer goes through here, so no caller can run past its end.
#include "path_text.h"

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

static WCHAR foldCase(WCHAR c)
{
    return c >= L'a' && c <= L'z' ? WCHAR(c - L'a' + L'A') : c;
}

// Length of folder without a trailing backslash.
static int folderLength(const WCHAR* folder)
{
    int length = lstrlenW(folder);
    if (length > 0 && folder[length - 1] == L'\\')
        --length;
    return length;
}

static bool samePrefix(const WCHAR* first, const WCHAR* second, int length)
{
    for (int i = 0; i < length; ++i)
        if (foldCase(first[i]) != foldCase(second[i]))
            return false;
    return true;
}

bool samePath(const WCHAR* first, const WCHAR* second)
{
    int length = lstrlenW(first);
    return length == lstrlenW(second) && samePrefix(first, second, length);
}

bool widenAscii(WCHAR* out, int capacity, const char* text)
{
    if (capacity <= 0)
        return false;
    int length = 0;
    for (; text[length] && length + 1 < capacity; ++length)
        out[length] = WCHAR(static_cast<unsigned char>(text[length]));
    out[length] = L'\0';
    return text[length] == '\0';
}

bool appendAscii(WCHAR* out, int capacity, const char* text)
{
    const int length = lstrlenW(out);
    return widenAscii(out + length, capacity - length, text);
}

void composePathMessage(WCHAR* out, int capacity, const char* format, const WCHAR* path)
{
    if (capacity <= 0)
        return;
    int length = 0;
    for (; *format && length + 1 < capacity; ++format) {
        if (format[0] == '%' && format[1] == 's') {
            for (const WCHAR* from = path; *from && length + 1 < capacity; ++from)
                out[length++] = *from;
            ++format;
        } else {
            out[length++] = WCHAR(static_cast<unsigned char>(*format));
        }
    }
    out[length] = L'\0';
}

int appendPathName(WCHAR* path, int capacity, const WCHAR* name)
{
    int length = lstrlenW(path);
    bool needsSeparator = length > 0 && path[length - 1] != L'\\';
    int total = length + (needsSeparator ? 1 : 0) + lstrlenW(name);
    if (total >= capacity)
        return 0;
    if (needsSeparator)
        path[length++] = L'\\';
    lstrcpyW(path + length, name);
    return total;
}

int cutLastName(WCHAR* path)
{
    int end = folderLength(path);
    while (end > 0 && path[end - 1] != L'\\')
        --end;
    if (end == 0)
        return 0;
    path[end - 1] = L'\0';
    return end - 1;
}

int cutToFolder(WCHAR* path)
{
    int length = cutLastName(path);
    if (length > 0) {
        // "R:" and "\\server\share" are roots only with their backslash.
        path[length] = L'\\';
        path[firstFolderStart(path) == length + 1 ? ++length : length] = L'\0';
    }
    return length;
}

int firstFolderStart(const WCHAR* path)
{
    if (unsigned((path[0] | 0x20) - L'a') < 26u && path[1] == L':' && path[2] == L'\\')
        return 3;
    if (path[0] != L'\\' || path[1] != L'\\')
        return 0;
    // "\\server\share", then its backslash if one follows: two names, neither empty.
    for (int at = 2, names = 0;; at++) {
        if (path[at] != L'\\' && path[at] != L'\0')
            continue;
        if (path[at - 1] == L'\\' || (++names == 1 && path[at] == L'\0'))
            return 0;
        if (names == 2)
            return path[at] ? at + 1 : at;
    }
}

int namesFrom(const WCHAR* path, int start)
{
    int names = 0;
    bool inName = false;
    for (const WCHAR* at = path + start; *at; at++) {
        names += !inName && *at != L'\\';
        inName = *at != L'\\';
    }
    return names;
}

// True when the name from name to end is one of the devices every folder
// holds (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9), whatever follows
// its first dot: the system opens the device, not a folder of that name.
static bool isDeviceName(const WCHAR* name, const WCHAR* end)
{
    const WCHAR* base = name;
    while (base < end && *base != L'.')
        ++base;
    while (base > name && base[-1] == L' ')
        --base;
    const int length = int(base - name);
    if (length != 3 && length != 4)
        return false;
    static const char devices[] = "CONPRNAUXNULCOMLPT";   // the last two take a digit
    for (int device = 0; device < 6; device++) {
        bool same = true;
        for (int i = 0; i < 3; i++)
            same = same && foldCase(name[i]) == WCHAR(devices[device * 3 + i]);
        const WCHAR digit = name[3];
        if (same && (device < 4 ? length == 3
                                : length == 4 && ((digit >= L'1' && digit <= L'9') || digit == 0xB9 ||
                                                  digit == 0xB2 || digit == 0xB3)))
            return true;
    }
    return false;
}

const WCHAR* findBadName(const WCHAR* names)
{
    const WCHAR* name = names;
    for (const WCHAR* at = names;; at++) {
        if (*at == L'\\' || *at == L'\0') {
            if (at > name && (at[-1] == L'.' || at[-1] == L' ' || isDeviceName(name, at)))
                return name;
            if (*at == L'\0')
                return nullptr;
            name = at + 1;
            continue;
        }
        if (*at < L' ')
            return name;
        for (const char* refused = "\"*/:<>?|"; *refused; refused++)
            if (*at == WCHAR(*refused))
                return name;
    }
}

bool isBelowFolder(const WCHAR* path, const WCHAR* folder)
{
    int length = folderLength(folder);
    return length > 0 && lstrlenW(path) > length + 1 && path[length] == L'\\'
        && samePrefix(path, folder, length);
}

bool isDirectlyInFolder(const WCHAR* path, const WCHAR* folder)
{
    if (!isBelowFolder(path, folder))
        return false;
    for (const WCHAR* rest = path + folderLength(folder) + 1; *rest; ++rest)
        if (*rest == L'\\')
            return false;
    return true;
}
