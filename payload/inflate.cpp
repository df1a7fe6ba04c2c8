// The DEFLATE block loop: block headers, stored blocks, and the set-up of the
// fixed and dynamic Huffman codes (raw DEFLATE, no zlib or gzip wrapper).
//
// Each block decoder loads the bit state from inflateState, works on a local
// BitReader and stores it back when it succeeds; after a failure nothing is
// stored, as decoding stops anyway. Every table a block builds is freed before
// the block returns, except the fixed-code tables, which stay cached in
// inflateState until releaseFixedTables at the end of the entry.
#include <cstring>

#include "bit_reader.h"
#include "huffman.h"
#include "inflate_codes.h"

namespace {

// Order in which a dynamic block sends the code-length code's lengths.
const uint32_t codeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Literal/length symbols 257..287: base length and extra bits. 286 and 287 may
// be given code lengths but never decode (extra bits 99 = OP_INVALID).
const uint16_t lengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint16_t lengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                  3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, OP_INVALID, OP_INVALID};

// Distance symbols 0..31: base distance and extra bits; 30 and 31 never decode.
const uint16_t distanceBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,  33,
                                   49,   65,   97,   129,  193,  257,   385,   513,   769, 1025, 1537,
                                   2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 0,   0};
const uint16_t distanceExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,          6,         6,
                                    7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, OP_INVALID, OP_INVALID};

constexpr uint32_t literalLookupBits = 9;    // first-level widths of a dynamic block's tables
constexpr uint32_t distanceLookupBits = 6;
constexpr uint32_t fixedLiteralLookupBits = 7;
constexpr uint32_t fixedDistanceLookupBits = 5;
constexpr uint32_t codeLengthLookupBits = 7;  // covers the longest code-length code, so one level

constexpr uint32_t maxLiteralCodes = 288;
constexpr uint32_t maxDistanceCodes = 32;

// A block whose distance lengths are all zero sends only literals. Its
// distance lookups land here and fail, so such a block is accepted as long as
// no length symbol occurs. (Never freed: it is not a heap block.)
const DecodeEntry noDistanceCodes[2] = {{OP_INVALID, 1, {0}}, {OP_INVALID, 1, {0}}};
constexpr uint32_t noDistanceCodesBits = 1;

int inflateStored()
{
    BitReader in = loadBits();
    // The block starts at the next byte boundary. Handing the whole buffered
    // bytes back lets the length fields and the data be read straight from the input.
    dumpBits(in, in.count & 7);
    storeBits(in);
    if (inflateState.overrunBytes != 0)
        return 1;   // the header bits were already past the end

    const uint8_t* cursor = inflateState.inputCursor;
    const uint8_t* const end = inflateState.inputEnd;
    if (end - cursor < 4)
        return 1;
    uint32_t length = cursor[0] | uint32_t(cursor[1]) << 8;
    uint32_t complement = cursor[2] | uint32_t(cursor[3]) << 8;
    if ((~complement & 0xFFFF) != length)
        return 1;
    cursor += 4;
    if (uint32_t(end - cursor) < length)
        return 1;

    uint32_t pos = inflateState.windowPos;
    while (length != 0) {
        uint32_t chunk = windowSize - pos;
        if (chunk > length)
            chunk = length;
        std::memcpy(inflateState.window + pos, cursor, chunk);
        cursor += chunk;
        length -= chunk;
        pos += chunk;
        if (pos == windowSize) {
            if (flushWindow(windowSize) != 0)
                return 1;
            pos = 0;
        }
    }
    inflateState.inputCursor = cursor;
    inflateState.windowPos = pos;
    return 0;
}

int inflateFixed()
{
    if (!inflateState.fixedLiteralTable) {
        uint32_t lengths[maxLiteralCodes];
        uint32_t s = 0;
        for (; s < 144; s++)
            lengths[s] = 8;
        for (; s < 256; s++)
            lengths[s] = 9;
        for (; s < 280; s++)
            lengths[s] = 7;
        for (; s < maxLiteralCodes; s++)
            lengths[s] = 8;
        HuffmanTable literalTable = nullptr;
        uint32_t literalBits = fixedLiteralLookupBits;
        int r = buildHuffmanTable(lengths, maxLiteralCodes, 257, lengthBase, lengthExtra, literalTable, literalBits);
        if (r != 0)
            return r;   // only 3 (no memory) can occur with these lengths

        // 30 codes of length 5: the two spare patterns decode as invalid.
        for (s = 0; s < 30; s++)
            lengths[s] = 5;
        HuffmanTable distanceTable = nullptr;
        uint32_t distanceBits = fixedDistanceLookupBits;
        r = buildHuffmanTable(lengths, 30, 0, distanceBase, distanceExtra, distanceTable, distanceBits);
        if (r > 1) {
            freeHuffmanTable(literalTable);
            return r;
        }
        inflateState.fixedLiteralTable = literalTable;
        inflateState.fixedDistanceTable = distanceTable;
        inflateState.fixedLiteralBits = int(literalBits);
        inflateState.fixedDistanceBits = int(distanceBits);
    }
    return inflateCodes(inflateState.fixedLiteralTable, inflateState.fixedDistanceTable,
                        uint32_t(inflateState.fixedLiteralBits), uint32_t(inflateState.fixedDistanceBits)) != 0;
}

// Reads the code lengths of a dynamic block, as counts nl and nd, into lengths.
// 0 on success, else the block's result.
int readCodeLengths(BitReader& in, uint32_t* lengths, uint32_t& nl, uint32_t& nd)
{
    needBits(in, 14);
    nl = 257 + peekBits(in, 5);
    dumpBits(in, 5);
    nd = 1 + peekBits(in, 5);
    dumpBits(in, 5);
    uint32_t nb = 4 + peekBits(in, 4);
    dumpBits(in, 4);

    uint32_t codeLengthLengths[19] = {};
    for (uint32_t j = 0; j < nb; j++) {
        needBits(in, 3);
        codeLengthLengths[codeLengthOrder[j]] = peekBits(in, 3);
        dumpBits(in, 3);
    }
    if (pastEnd(in))
        return 1;

    HuffmanTable codeLengthTable = nullptr;
    uint32_t clBits = codeLengthLookupBits;
    int r = buildHuffmanTable(codeLengthLengths, 19, 19, nullptr, nullptr, codeLengthTable, clBits);
    if (clBits == 0)
        r = 1;   // no code at all
    if (r != 0) {
        if (r == 1)
            freeHuffmanTable(codeLengthTable);
        return r;
    }

    // The literal/length and distance lengths form one sequence: a repeat may
    // run from one into the other, but never past its end. The table has a
    // single level, and an invalid entry of a lone 1-bit code carries that
    // code's symbol, so its op is not examined.
    const uint32_t n = nl + nd;
    uint32_t i = 0;
    uint32_t prev = 0;
    while (i < n) {
        needBits(in, clBits);
        const DecodeEntry& e = codeLengthTable[peekBits(in, clBits)];
        dumpBits(in, e.bits);
        uint32_t sym = e.value;
        if (sym < 16) {
            lengths[i++] = sym;
            prev = sym;
            continue;
        }
        uint32_t repeat;
        uint32_t value = 0;
        if (sym == 16) {
            needBits(in, 2);
            repeat = 3 + peekBits(in, 2);
            dumpBits(in, 2);
            value = prev;
        } else if (sym == 17) {
            needBits(in, 3);
            repeat = 3 + peekBits(in, 3);
            dumpBits(in, 3);
        } else {
            needBits(in, 7);
            repeat = 11 + peekBits(in, 7);
            dumpBits(in, 7);
        }
        if (i + repeat > n) {
            freeHuffmanTable(codeLengthTable);
            return 1;
        }
        while (repeat--)
            lengths[i++] = value;
        prev = value;
    }
    freeHuffmanTable(codeLengthTable);
    return pastEnd(in) ? 1 : 0;
}

int inflateDynamic()
{
    BitReader in = loadBits();
    uint32_t lengths[maxLiteralCodes + maxDistanceCodes];
    uint32_t nl = 0;
    uint32_t nd = 0;
    int r = readCodeLengths(in, lengths, nl, nd);
    if (r != 0)
        return r;
    storeBits(in);

    HuffmanTable literalTable = nullptr;
    uint32_t literalBits = literalLookupBits;
    r = buildHuffmanTable(lengths, nl, 257, lengthBase, lengthExtra, literalTable, literalBits);
    if (literalBits == 0)
        r = 1;   // no literal/length code at all
    if (r != 0) {
        if (r == 1)
            freeHuffmanTable(literalTable);
        return r;
    }

    HuffmanTable distanceTable = nullptr;
    uint32_t distanceBits = distanceLookupBits;
    r = buildHuffmanTable(lengths + nl, nd, 0, distanceBase, distanceExtra, distanceTable, distanceBits);
    if (r > 1) {
        freeHuffmanTable(literalTable);
        return r;
    }
    // An incomplete distance code (result 1) is accepted: its missing patterns
    // fail only if they occur.
    const DecodeEntry* distances = distanceTable;
    if (distanceBits == 0) {
        distances = noDistanceCodes;
        distanceBits = noDistanceCodesBits;
    }

    r = inflateCodes(literalTable, distances, literalBits, distanceBits);
    freeHuffmanTable(literalTable);
    freeHuffmanTable(distanceTable);
    return r != 0;
}

// Reads a block header and decodes the block. `last` is set from the header.
int inflateBlock(bool& last)
{
    BitReader in = loadBits();
    needBits(in, 3);
    last = peekBits(in, 1) != 0;
    uint32_t type = peekBits(in, 3) >> 1;
    dumpBits(in, 3);
    if (pastEnd(in))
        return 1;
    storeBits(in);

    switch (type) {
    case 0:
        return inflateStored();
    case 1:
        return inflateFixed();
    case 2:
        return inflateDynamic();
    default:
        return 1;   // reserved block type
    }
}

} // namespace

int inflateStream()
{
    inflateState.windowPos = 0;
    inflateState.bitBuffer = 0;
    inflateState.bitCount = 0;
    for (;;) {
        bool last = false;
        int r = inflateBlock(last);
        if (r != 0)
            return r;   // bytes still in the window are not written
        if (last)
            return flushWindow(inflateState.windowPos) != 0 ? 1 : 0;
    }
}
