// Bounded name composition: every write into a path buffer goes through here,
// so no caller can run past its end.
#include "target_path.h"

#include <string.h>

#include "settings.h"

bool writeNameAt(char* path, int position, const char* name, const char* suffix)
{
    if (position < 0 || position >= pathCapacity)
        return false;
    const size_t nameLength = lstrlenA(name);
    const size_t suffixLength = lstrlenA(suffix);
    // Room for both parts and the terminator.
    if (nameLength + suffixLength >= size_t(pathCapacity - position))
        return false;
    memcpy(path + position, name, nameLength);
    memcpy(path + position + nameLength, suffix, suffixLength + 1);
    return true;
}

bool cutPathAt(char* path, int length)
{
    if (length < 0 || length >= pathCapacity)
        return false;
    path[length] = '\0';
    return true;
}
