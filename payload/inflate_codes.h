// The literal/length/distance loop shared by fixed and dynamic blocks.
#pragma once

#include <cstdint>

#include "huffman.h"

// Decodes symbols up to and including the end of block, writing through the
// window. The widths are the first-level widths the builder returned.
// 0 at the end of block; 1 for an invalid code, input that runs out, or a
// failed window write.
int inflateCodes(const DecodeEntry* literalTable, const DecodeEntry* distanceTable,
                 uint32_t literalBits, uint32_t distanceBits);
