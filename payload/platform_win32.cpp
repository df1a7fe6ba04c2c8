// The decoder's platform hooks, on Win32: table blocks from the local heap and
// one WriteFile per window.
#include <windows.h>

#include "inflate_state.h"

int writeOutput(void* file, const uint8_t* bytes, uint32_t count)
{
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(file), bytes, count, &written, nullptr))
        return 1;
    return written == count ? 0 : 1;
}

void* allocTableBlock(uint32_t bytes)
{
    return LocalAlloc(LMEM_FIXED, bytes);
}

void freeTableBlock(void* block)
{
    LocalFree(block);
}
