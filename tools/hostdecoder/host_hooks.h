// Test controls of the host stand-in for the decoder's platform hooks.
#pragma once

#include <cstdint>
#include <vector>

// Makes the nth table allocation from now fail (1: the next one); 0 turns it off.
void failTableAllocation(int nth);

// Table blocks allocated and not yet freed.
long liveTableBlocks();

// Table blocks allocated since the program started.
long tableAllocations();

// Makes the nth window write from now fail (1: the next one); 0 turns it off.
void failOutputWrite(int nth);

// The sizes of the window writes since the last decodeRawDeflate started.
const std::vector<uint32_t>& outputWriteSizes();
void clearOutputWriteSizes();
