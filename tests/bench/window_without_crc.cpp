// The window's exit without the integrity CRC. The benchmark loads a copy of
// the decoder built with this file, to time decoding with and without the CRC
// side by side.
#include "host_decoder.h"
#include "inflate_state.h"

InflateState inflateState;

int flushWindow(uint32_t count)
{
    inflateState.outputSize += count;
    return writeOutput(inflateState.outputFile, inflateState.window, count) == 0 ? 0 : 1;
}

// The module's entry point, looked up by name.
extern "C" int decodeWithoutCrc(const uint8_t* data, size_t size, std::vector<uint8_t>* out)
{
    return decodeRawDeflate(data, size, *out);
}
