// Building and freeing the multi-level Huffman decoding tables.
//
// The builder walks the codes in canonical order (by length, then by symbol),
// counting each code in reversed bit order so that the code doubles as the
// table index: DEFLATE sends a code's first bit first, and the bit reader puts
// the next bit in bit 0.
//
// Memory: every table, first-level or sub-table, is one block of 2^j + 1
// entries. Entry 0 of a block is a header whose `next` chains the blocks of
// one code set in allocation order; the table proper starts at entry 1, and
// every pointer handed out (the first-level table, each link's `next`) points
// there. So a whole set is freed from its first-level pointer alone.
#include "huffman.h"

#include <cstring>

namespace {

constexpr int maxLevels = 16;   // one table level per code bit at worst

} // namespace

void freeHuffmanTable(HuffmanTable table)
{
    while (table) {
        DecodeEntry* block = table - 1;
        table = block->next;
        freeTableBlock(block);
    }
}

int buildHuffmanTable(const uint32_t* lengths, uint32_t count, uint32_t simpleCount,
                      const uint16_t* baseValues, const uint16_t* extraBits,
                      HuffmanTable& table, uint32_t& width)
{
    // Phase 1: count the lengths and check them against the code space.
    // A table never reaches past the end-of-block code, unless it starts at or
    // beyond that length, so decoding the end of block never asks the bit
    // reader for more bits than that code has.
    const uint32_t eobLength = count > 256 ? lengths[256] : 16;

    uint32_t lengthCount[maxCodeLength + 1] = {};
    for (uint32_t s = 0; s < count; s++)
        lengthCount[lengths[s]]++;
    if (lengthCount[0] == count) {
        table = nullptr;
        width = 0;
        return 0;
    }

    uint32_t minLength = 1;
    while (lengthCount[minLength] == 0)
        minLength++;
    uint32_t maxLength = maxCodeLength;
    while (lengthCount[maxLength] == 0)
        maxLength--;
    if (width < minLength)
        width = minLength;
    if (width > maxLength)
        width = maxLength;

    // leftover: patterns of the current length that no shorter code covers.
    int32_t leftover = int32_t(1) << minLength;
    for (uint32_t length = minLength; length < maxLength; length++) {
        leftover -= int32_t(lengthCount[length]);
        if (leftover < 0)
            return 2;
        leftover <<= 1;
    }
    leftover -= int32_t(lengthCount[maxLength]);
    if (leftover < 0)
        return 2;
    // The uncovered patterns become dummy codes of the longest length, which
    // fill the code space and decode as OP_INVALID.
    lengthCount[maxLength] += uint32_t(leftover);

    // Phase 2: the symbols sorted by code length, then by symbol.
    uint32_t offset[maxCodeLength + 2] = {};
    for (uint32_t length = 1; length < maxLength; length++)
        offset[length + 1] = offset[length] + lengthCount[length];
    uint16_t sorted[maxSymbols] = {};
    for (uint32_t s = 0; s < count; s++)
        if (lengths[s] != 0)
            sorted[offset[lengths[s]]++] = uint16_t(s);
    const uint32_t realCount = offset[maxLength];

    // Phase 3: walk the codes and fill the tables. Index 0 of the level arrays
    // stands for "no table yet" (level -1), so levelWidth[0] is 0.
    uint32_t levelWidthStack[maxLevels + 1] = {};
    uint32_t* levelWidth = levelWidthStack + 1;
    DecodeEntry* levelTable[maxLevels] = {};
    uint32_t levelPrefix[maxLevels] = {};
    int level = -1;
    uint32_t resolved = 0;   // code bits consumed by the tables above the current one
    uint32_t code = 0;       // current code, first bit in bit 0
    DecodeEntry* current = nullptr;
    uint32_t currentSize = 0;
    uint32_t nextSymbol = 0;
    DecodeEntry** pendingLink = &table;   // where the next block's table pointer goes
    // The entry being placed, kept in separate locals: its value carries over
    // from one code to the next (a dummy code keeps the last real symbol's).
    uint8_t entryOp = 0;
    uint16_t entryValue = 0;

    for (uint32_t length = minLength; length <= maxLength; length++) {
        for (uint32_t left = lengthCount[length]; left > 0; left--) {
            while (length > resolved + levelWidth[level]) {
                resolved += levelWidth[level];
                level++;

                // Try a table just wide enough for this length; widen it while
                // the codes still to come would leave it less than full.
                uint32_t limit = maxLength - resolved < width ? maxLength - resolved : width;
                uint32_t j = length - resolved;
                uint32_t fill = uint32_t(1) << j;
                if (fill > left) {
                    fill -= left;
                    uint32_t nextLength = length;
                    for (;;) {
                        if (++j >= limit)
                            break;
                        fill <<= 1;
                        if (fill <= lengthCount[++nextLength])
                            break;
                        fill -= lengthCount[nextLength];
                    }
                }
                if (resolved + j > eobLength && resolved < eobLength)
                    j = eobLength - resolved;

                levelWidth[level] = j;
                DecodeEntry* block =
                    static_cast<DecodeEntry*>(allocTableBlock(((uint32_t(1) << j) + 1) * sizeof(DecodeEntry)));
                if (!block) {
                    if (level > 0)
                        freeHuffmanTable(table);
                    return 3;
                }
                *pendingLink = block + 1;
                block->next = nullptr;
                pendingLink = &block->next;
                current = block + 1;
                currentSize = uint32_t(1) << j;
                levelTable[level] = current;

                if (level > 0) {
                    levelPrefix[level] = code;
                    DecodeEntry link;
                    std::memset(&link, 0, sizeof link);
                    link.op = uint8_t(OP_LITERAL + j);
                    link.bits = uint8_t(levelWidth[level - 1]);
                    link.next = current;
                    uint32_t index = (code & ((uint32_t(1) << resolved) - 1)) >> (resolved - levelWidth[level - 1]);
                    levelTable[level - 1][index] = link;
                }
            }

            const uint8_t entryBits = uint8_t(length - resolved);
            if (nextSymbol >= realCount) {
                // A dummy code: keeps the value of the last real symbol.
                entryOp = OP_INVALID;
            } else {
                uint32_t s = sorted[nextSymbol++];
                if (s < simpleCount) {
                    entryOp = s < 256 ? OP_LITERAL : OP_END_OF_BLOCK;
                    entryValue = uint16_t(s);
                } else {
                    entryOp = uint8_t(extraBits[s - simpleCount]);
                    entryValue = baseValues[s - simpleCount];
                }
            }

            for (uint32_t i = code >> resolved; i < currentSize; i += uint32_t(1) << entryBits) {
                current[i].op = entryOp;
                current[i].bits = entryBits;
                current[i].value = entryValue;
            }

            // Next code of this length, counting in reversed bit order.
            uint32_t m = uint32_t(1) << (length - 1);
            while (code & m) {
                code ^= m;
                m >>= 1;
            }
            code ^= m;

            while ((code & ((uint32_t(1) << resolved) - 1)) != levelPrefix[level]) {
                level--;
                resolved -= levelWidth[level];
            }
        }
    }

    width = levelWidth[0];
    return leftover != 0 && maxLength != 1 ? 1 : 0;
}

void releaseFixedTables()
{
    if (!inflateState.fixedLiteralTable)
        return;
    freeHuffmanTable(inflateState.fixedDistanceTable);
    freeHuffmanTable(inflateState.fixedLiteralTable);
    inflateState.fixedLiteralTable = nullptr;
    inflateState.fixedDistanceTable = nullptr;
}
