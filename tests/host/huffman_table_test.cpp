// The table builder: shapes of named code sets, entries inspected one by one,
// every code of random sets decoded through its table, and allocation failures.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "deflate_writer.h"
#include "host_hooks.h"
#include "huffman.h"

namespace {

// RFC 1951's bases and extra bits for literal/length symbols 257..287 and
// distance symbols 0..31; 99 marks the symbols that must never decode.
const uint16_t lengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint16_t lengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                  3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
const uint16_t distanceBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,  33,
                                   49,   65,   97,   129,  193,  257,   385,   513,   769, 1025, 1537,
                                   2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 0,   0};
const uint16_t distanceExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                    7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 99, 99};

enum class Alphabet { simple, literalLength, distance };

struct Built {
    int result;
    HuffmanTable table;
    uint32_t width;
    long blocks;
};

// Builds a set the way the decoder does for that alphabet, counting its blocks.
Built build(const std::vector<uint32_t>& lengths, Alphabet alphabet, uint32_t width)
{
    Built b{};
    b.table = reinterpret_cast<HuffmanTable>(&b);   // a sentinel: must stay when nothing is built
    b.width = width;
    long before = liveTableBlocks();
    uint32_t count = uint32_t(lengths.size());
    switch (alphabet) {
    case Alphabet::simple:
        b.result = buildHuffmanTable(lengths.data(), count, count, nullptr, nullptr, b.table, b.width);
        break;
    case Alphabet::literalLength:
        b.result = buildHuffmanTable(lengths.data(), count, 257, lengthBase, lengthExtra, b.table, b.width);
        break;
    case Alphabet::distance:
        b.result = buildHuffmanTable(lengths.data(), count, 0, distanceBase, distanceExtra, b.table, b.width);
        break;
    }
    b.blocks = liveTableBlocks() - before;
    return b;
}

uint32_t reverseBits(uint32_t code, uint32_t length)
{
    uint32_t r = 0;
    for (uint32_t i = 0; i < length; i++)
        r |= ((code >> i) & 1) << (length - 1 - i);
    return r;
}

// Walks the table as the decoder does for an input whose next bits are
// `pattern` (first bit in bit 0); `consumed` gets the bits the code takes.
const DecodeEntry& lookup(HuffmanTable table, uint32_t width, uint32_t pattern, uint32_t& consumed)
{
    const DecodeEntry* e = &table[pattern & ((1u << width) - 1)];
    consumed = 0;
    while (e->op > OP_LITERAL && e->op != OP_INVALID) {
        consumed += e->bits;
        pattern >>= e->bits;
        e = &e->next[pattern & ((1u << (e->op - OP_LITERAL)) - 1)];
    }
    consumed += e->bits;
    return *e;
}

std::vector<uint32_t> repeated(uint32_t length, size_t count)
{
    return std::vector<uint32_t>(count, length);
}

// Symbol 256 of length 5, symbols 0..3 of lengths 1..4, and 32 codes of length 10.
std::vector<uint32_t> shortEndOfBlockLengths()
{
    std::vector<uint32_t> lengths(288, 0);
    for (uint32_t s = 0; s < 4; s++)
        lengths[s] = s + 1;
    lengths[256] = 5;
    for (uint32_t s = 0; s < 32; s++)
        lengths[4 + s] = 10;
    return lengths;
}

TEST(HuffmanTable, namedSetsHaveTheExpectedResultWidthAndBlocks)
{
    struct Case {
        const char* name;
        std::vector<uint32_t> lengths;
        Alphabet alphabet;
        uint32_t requestedWidth;
        int result;
        uint32_t width;
        long blocks;
    };
    const Case cases[] = {
        {"all lengths zero", repeated(0, 19), Alphabet::simple, 7, 0, 0, 0},
        {"a single code of length 1", {0, 1, 0}, Alphabet::simple, 7, 0, 1, 1},
        {"{1,1,1} over-subscribed", {1, 1, 1}, Alphabet::simple, 7, 2, 0, 0},
        {"{1,1,2} over-subscribed", {1, 1, 2}, Alphabet::simple, 7, 2, 0, 0},
        {"nine codes of length 3 over-subscribed", repeated(3, 9), Alphabet::simple, 7, 2, 0, 0},
        {"{2,2,2} incomplete", {2, 2, 2}, Alphabet::simple, 7, 1, 2, 1},
        {"{1,2} incomplete", {1, 2}, Alphabet::simple, 7, 1, 2, 1},
        {"distance {6,7} widened past the request", {6, 7}, Alphabet::distance, 6, 1, 7, 1},
        {"{1,2,3,3} cut to the longest code", {1, 2, 3, 3}, Alphabet::simple, 7, 0, 3, 1},
        {"eight 3-bit codes raised to the shortest code", repeated(3, 8), Alphabet::simple, 1, 0, 3, 1},
        {"fixed literal/length", fixedLiteralLengths(), Alphabet::literalLength, 7, 0, 7, 105},
        {"fixed distance", repeated(5, 30), Alphabet::distance, 5, 1, 5, 1},
        {"end of block of length 5 caps the first level", shortEndOfBlockLengths(), Alphabet::literalLength, 9,
         0, 5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Built b = build(c.lengths, c.alphabet, c.requestedWidth);
        EXPECT_EQ(b.result, c.result);
        EXPECT_EQ(b.blocks, c.blocks);
        if (b.result == 2) {
            EXPECT_EQ(b.table, reinterpret_cast<HuffmanTable>(&b)) << "table must be left unchanged";
            continue;
        }
        EXPECT_EQ(b.width, c.width);
        EXPECT_EQ(b.table == nullptr, c.blocks == 0);
        freeHuffmanTable(b.table);
        EXPECT_EQ(liveTableBlocks(), 0) << "free must release every block";
    }
}

TEST(HuffmanTable, singleCodeOfLengthOneFillsTheOtherPatternWithAnInvalidCopy)
{
    Built b = build({0, 0, 1}, Alphabet::simple, 7);
    ASSERT_EQ(b.result, 0);
    ASSERT_EQ(b.width, 1u);
    EXPECT_EQ(b.table[0].op, OP_LITERAL);
    EXPECT_EQ(b.table[0].bits, 1);
    EXPECT_EQ(b.table[0].value, 2);
    EXPECT_EQ(b.table[1].op, OP_INVALID);
    EXPECT_EQ(b.table[1].bits, 1);
    EXPECT_EQ(b.table[1].value, 2);
    freeHuffmanTable(b.table);
}

TEST(HuffmanTable, threeTwoBitCodesLeaveTheLastPatternInvalid)
{
    Built b = build({2, 2, 2}, Alphabet::simple, 7);
    ASSERT_EQ(b.width, 2u);
    // Codes 00, 01, 10 read first bit first: indices 0, 2, 1; pattern 11 is index 3.
    const struct {
        uint32_t index;
        uint8_t op;
        uint16_t value;
    } expected[] = {{0, OP_LITERAL, 0}, {2, OP_LITERAL, 1}, {1, OP_LITERAL, 2}, {3, OP_INVALID, 2}};
    for (const auto& x : expected) {
        SCOPED_TRACE(x.index);
        EXPECT_EQ(b.table[x.index].op, x.op);
        EXPECT_EQ(b.table[x.index].bits, 2);
        EXPECT_EQ(b.table[x.index].value, x.value);
    }
    freeHuffmanTable(b.table);
}

TEST(HuffmanTable, fixedLiteralTableHasDirectCodesAndOneAndTwoBitSubTables)
{
    Built b = build(fixedLiteralLengths(), Alphabet::literalLength, 7);
    ASSERT_EQ(b.result, 0);
    ASSERT_EQ(b.width, 7u);
    int direct = 0, oneBitLinks = 0, twoBitLinks = 0;
    for (uint32_t i = 0; i < 128; i++) {
        const DecodeEntry& e = b.table[i];
        if (e.op == OP_LITERAL + 1 && e.bits == 7)
            oneBitLinks++;
        else if (e.op == OP_LITERAL + 2 && e.bits == 7)
            twoBitLinks++;
        else if (e.bits == 7 && e.op <= OP_LITERAL)
            direct++;
    }
    EXPECT_EQ(direct, 24);
    EXPECT_EQ(oneBitLinks, 76);
    EXPECT_EQ(twoBitLinks, 28);

    // Every symbol decodes through its canonical code: bases and extra bits
    // for lengths, and 286/287 invalid.
    std::vector<uint32_t> lengths = fixedLiteralLengths();
    std::vector<uint32_t> codes = canonicalCodes(lengths);
    for (uint32_t s = 0; s < 288; s++) {
        SCOPED_TRACE(s);
        uint32_t consumed = 0;
        const DecodeEntry& e = lookup(b.table, b.width, reverseBits(codes[s], lengths[s]), consumed);
        if (s < 256) {
            EXPECT_EQ(e.op, OP_LITERAL);
            EXPECT_EQ(e.value, s);
        } else if (s == 256) {
            EXPECT_EQ(e.op, OP_END_OF_BLOCK);
        } else if (s < 286) {
            EXPECT_EQ(e.op, lengthExtra[s - 257]);
            EXPECT_EQ(e.value, lengthBase[s - 257]);
        } else {
            EXPECT_EQ(e.op, OP_INVALID);
            continue;
        }
        EXPECT_EQ(consumed, lengths[s]);
    }
    freeHuffmanTable(b.table);
    EXPECT_EQ(liveTableBlocks(), 0);
}

TEST(HuffmanTable, fixedDistanceTableMarksThePatternsOf30And31Invalid)
{
    Built b = build(repeated(5, 30), Alphabet::distance, 5);
    ASSERT_EQ(b.width, 5u);
    for (uint32_t s = 0; s < 32; s++) {
        SCOPED_TRACE(s);
        const DecodeEntry& e = b.table[reverseBits(s, 5)];
        EXPECT_EQ(e.bits, 5);
        if (s >= 30) {
            EXPECT_EQ(e.op, OP_INVALID);
        } else {
            EXPECT_EQ(e.op, distanceExtra[s]);
            EXPECT_EQ(e.value, distanceBase[s]);
        }
    }
    EXPECT_EQ(reverseBits(30, 5), 15u);
    EXPECT_EQ(reverseBits(31, 5), 31u);
    freeHuffmanTable(b.table);
}

TEST(HuffmanTable, shortEndOfBlockCodeLinksTheLongCodesThroughOneSubTable)
{
    std::vector<uint32_t> lengths = shortEndOfBlockLengths();
    Built b = build(lengths, Alphabet::literalLength, 9);
    ASSERT_EQ(b.width, 5u);
    int links = 0;
    for (uint32_t i = 0; i < 32; i++) {
        const DecodeEntry& e = b.table[i];
        if (e.op > OP_LITERAL && e.op != OP_INVALID) {
            links++;
            EXPECT_EQ(e.op, OP_LITERAL + 5);
            EXPECT_EQ(e.bits, 5);
        }
    }
    EXPECT_EQ(links, 1);
    std::vector<uint32_t> codes = canonicalCodes(lengths);
    uint32_t consumed = 0;
    const DecodeEntry& eob = lookup(b.table, b.width, reverseBits(codes[256], 5), consumed);
    EXPECT_EQ(eob.op, OP_END_OF_BLOCK);
    EXPECT_EQ(consumed, 5u);
    freeHuffmanTable(b.table);
}

// Random sets, complete and incomplete, at every requested width: every code
// decodes to its symbol with exactly its length, every pattern that is no code
// is invalid, and the result says whether the set is complete.
TEST(HuffmanTable, everyCodeOfRandomSetsDecodesToItsSymbol)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 400; trial++) {
        uint32_t count = 2 + rng() % 287;
        uint32_t maxLength = 1 + rng() % 15;
        // Draw lengths, then drop codes until the set fits the code space.
        std::vector<uint32_t> lengths(count);
        for (auto& l : lengths)
            l = rng() % 3 == 0 ? 0 : 1 + rng() % maxLength;
        auto kraft = [&] {
            uint64_t sum = 0;
            for (uint32_t l : lengths)
                if (l)
                    sum += uint64_t(1) << (15 - l);
            return sum;
        };
        while (kraft() > (1u << 15))
            lengths[rng() % count] = 0;
        uint32_t requested = 1 + rng() % 10;
        SCOPED_TRACE("trial " + std::to_string(trial));

        Built b = build(lengths, Alphabet::simple, requested);
        uint64_t used = kraft();
        if (used == 0) {
            EXPECT_EQ(b.result, 0);
            EXPECT_EQ(b.table, nullptr);
            continue;
        }
        int singleOneBit = used == (1u << 14) && std::count(lengths.begin(), lengths.end(), 1u) == 1;
        EXPECT_EQ(b.result, used == (1u << 15) || singleOneBit ? 0 : 1);

        std::vector<uint32_t> codes = canonicalCodes(lengths);
        for (uint32_t s = 0; s < count; s++) {
            if (!lengths[s])
                continue;
            uint32_t pattern = reverseBits(codes[s], lengths[s]) | (rng() << lengths[s] & 0x7FFF);
            uint32_t consumed = 0;
            const DecodeEntry& e = lookup(b.table, b.width, pattern, consumed);
            ASSERT_EQ(e.op, s < 256 ? OP_LITERAL : OP_END_OF_BLOCK) << "symbol " << s;
            ASSERT_EQ(e.value, s);
            ASSERT_EQ(consumed, lengths[s]);
        }
        // A pattern is no code when it decodes as invalid; their share of the
        // 15-bit space must be what the codes leave free.
        uint32_t invalid = 0;
        for (uint32_t pattern = 0; pattern < (1u << 15); pattern++) {
            uint32_t consumed = 0;
            if (lookup(b.table, b.width, pattern, consumed).op == OP_INVALID)
                invalid++;
        }
        EXPECT_EQ(invalid, (1u << 15) - used);
        freeHuffmanTable(b.table);
        ASSERT_EQ(liveTableBlocks(), 0);
    }
}

TEST(HuffmanTable, allocationFailureAtAnyBlockReturns3AndLeavesNothingAllocated)
{
    const struct {
        const char* name;
        std::vector<uint32_t> lengths;
        Alphabet alphabet;
        uint32_t width;
    } sets[] = {
        {"fixed literal/length", fixedLiteralLengths(), Alphabet::literalLength, 7},
        {"end of block of length 5", shortEndOfBlockLengths(), Alphabet::literalLength, 9},
        {"distance {6,7}", {6, 7}, Alphabet::distance, 6},
    };
    for (const auto& set : sets) {
        Built full = build(set.lengths, set.alphabet, set.width);
        freeHuffmanTable(full.table);
        for (long nth = 1; nth <= full.blocks; nth++) {
            SCOPED_TRACE(std::string(set.name) + ", allocation " + std::to_string(nth));
            failTableAllocation(int(nth));
            Built b = build(set.lengths, set.alphabet, set.width);
            failTableAllocation(0);
            EXPECT_EQ(b.result, 3);
            EXPECT_EQ(liveTableBlocks(), 0);
        }
    }
}

} // namespace
