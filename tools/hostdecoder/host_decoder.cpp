// decodeRawDeflate: one extraction, as the installer runs it, into memory.
#include "host_decoder.h"

#include <cstring>

#include "host_hooks.h"
#include "inflate_state.h"

int decodeRawDeflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    out.clear();
    clearOutputWriteSizes();
    std::memset(&inflateState, 0, sizeof inflateState);
    inflateState.inputCursor = data;
    inflateState.inputEnd = data + size;
    inflateState.outputFile = &out;
    int result = inflateStream();
    releaseFixedTables();
    return result;
}
