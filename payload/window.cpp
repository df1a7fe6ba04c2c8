// The output window's single exit to the file, with the running integrity check.
#include "crc32.h"
#include "inflate_state.h"

InflateState inflateState;

int flushWindow(uint32_t count)
{
    inflateState.outputCrc = updateCrc32(inflateState.outputCrc, inflateState.window, count);
    inflateState.outputSize += count;
    return writeOutput(inflateState.outputFile, inflateState.window, count) == 0 ? 0 : 1;
}
