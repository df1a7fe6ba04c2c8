// Decoding exact streams: short hex streams, streams built bit by bit, window
// behaviour, truncation, and failures of allocation and writing.
#include <gtest/gtest.h>

#include <zlib.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "deflate_writer.h"
#include "host_decoder.h"
#include "host_hooks.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
    int result;
    Bytes out;
};

// Decodes from a heap block of exactly the stream's size, so that any read
// past the end is caught by AddressSanitizer.
Decoded decode(const Bytes& stream)
{
    std::unique_ptr<uint8_t[]> exact(new uint8_t[stream.size() + (stream.empty() ? 1 : 0)]);
    std::copy(stream.begin(), stream.end(), exact.get());
    Decoded d;
    d.result = decodeRawDeflate(exact.get(), stream.size(), d.out);
    EXPECT_EQ(liveTableBlocks(), 0) << "a table block was not freed";
    return d;
}

Bytes fromHex(const std::string& hex)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 3)
        bytes.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// Fixed-code writers (RFC 1951, 3.2.6).
void putFixedLiteral(BitWriter& w, uint32_t symbol)
{
    static const std::vector<uint32_t> lengths = fixedLiteralLengths();
    static const std::vector<uint32_t> codes = canonicalCodes(lengths);
    w.putCode(codes[symbol], lengths[symbol]);
}

// A length/distance pair in a fixed block, with the symbols' extra bits.
void putFixedMatch(BitWriter& w, uint32_t length, uint32_t distance)
{
    static const uint16_t lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint8_t lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const uint16_t distanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                              33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                              1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const uint8_t distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                              6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    uint32_t l = 28;
    while (lengthBase[l] > length)
        l--;
    if (length == 258)
        l = 28;
    putFixedLiteral(w, 257 + l);
    w.put(length - lengthBase[l], lengthExtra[l]);
    uint32_t d = 29;
    while (distanceBase[d] > distance)
        d--;
    w.putCode(d, 5);
    w.put(distance - distanceBase[d], distanceExtra[d]);
}

void putStoredBlock(BitWriter& w, bool last, const Bytes& data)
{
    w.put(last ? 1 : 0, 1);
    w.put(0, 2);
    w.alignToByte();
    w.put(uint32_t(data.size()), 16);
    w.put(~uint32_t(data.size()) & 0xFFFF, 16);
    w.bytes.insert(w.bytes.end(), data.begin(), data.end());
}

// Stored blocks carrying `data` (split at 65535 bytes); the last one is final
// when `final` is set.
void putStored(BitWriter& w, const Bytes& data, bool final)
{
    size_t at = 0;
    do {
        size_t n = std::min<size_t>(65535, data.size() - at);
        putStoredBlock(w, final && at + n == data.size(), Bytes(data.begin() + long(at), data.begin() + long(at + n)));
        at += n;
    } while (at < data.size());
}

Bytes randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b)
        x = uint8_t(rng());
    return b;
}

// LZ77 by definition: each byte of a match is the byte `distance` before it,
// or zero before the output's start.
void appendMatch(Bytes& out, uint32_t length, uint32_t distance)
{
    for (uint32_t i = 0; i < length; i++)
        out.push_back(out.size() >= distance ? out[out.size() - distance] : 0);
}

TEST(InflateStream, shortStreamsDecodeToTheirBytesOrFail)
{
    const struct {
        const char* hex;
        const char* what;
        int result;
        const char* expected;   // hex of the output when result is 0
    } cases[] = {
        {"01 03 00 FC FF 61 62 63", "one final stored block of length 3", 0, "61 62 63"},
        {"4B 4C 4A 06 00", "one final fixed block", 0, "61 62 63"},
        {"4B 04 42 00", "a match whose first byte comes from the zeroed window top", 0, "61 00 61 00"},
        {"07", "reserved block type 3", 1, ""},
        {"03 00", "a fixed block holding only the end of block", 0, ""},
        {"01 00 00 FF FF", "an empty final stored block", 0, ""},
        {"00 00 00 FF FF 01 03 00 FC FF 61 62 63", "an empty stored block, then the next block", 0, "61 62 63"},
        {"01 03 00 FD FF 61 62 63", "stored block whose complement is wrong", 1, ""},
        {"01 03 00 FC FF 61 62", "stored block shorter than its length", 1, ""},
        {"4B 4C 4A 06 00 FF FF FF", "data after the final block is never decoded", 0, "61 62 63"},
        {"4A 4C 4A 06 00", "a non-final block at the end of the input", 1, ""},
        {"", "no input at all", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Decoded d = decode(fromHex(c.hex));
        EXPECT_EQ(d.result, c.result);
        if (c.result == 0)
            EXPECT_EQ(d.out, fromHex(c.expected));
    }
}

// 288 literal/length lengths forming a complete code: 'a', 'b', 'c' 2 bits,
// 256 3 bits, 257 (length 3) 4 bits, and the never-valid 286 and 287 5 bits.
std::vector<uint32_t> literalsWith286And287()
{
    std::vector<uint32_t> lengths(288, 0);
    lengths['a'] = 2;
    lengths['b'] = 2;
    lengths['c'] = 2;
    lengths[256] = 3;
    lengths[257] = 4;
    lengths[286] = 5;
    lengths[287] = 5;
    return lengths;
}

TEST(InflateStream, dynamicBlockEdgeCases)
{
    struct Case {
        const char* what;
        Bytes stream;
        int result;
        std::string expected;
    };
    std::vector<Case> cases;
    {
        // 288 literal/length and 32 distance lengths; the data uses only valid symbols.
        std::vector<uint32_t> distances(32, 5);
        DynamicCodes codes(literalsWith286And287(), distances);
        BitWriter w;
        codes.putHeader(w, true);
        codes.putLiteral(w, 'a');
        codes.putLiteral(w, 257);   // length 3
        codes.putDistance(w, 0);    // distance 1
        codes.putLiteral(w, 256);
        cases.push_back({"288 and 32 lengths are accepted", w.bytes, 0, "aaaa"});
    }
    for (uint32_t symbol : {286u, 287u}) {
        DynamicCodes codes(literalsWith286And287(), std::vector<uint32_t>(32, 5));
        BitWriter w;
        codes.putHeader(w, true);
        codes.putLiteral(w, 'a');
        codes.putLiteral(w, symbol);
        codes.putLiteral(w, 256);
        cases.push_back({symbol == 286 ? "literal/length symbol 286 fails" : "literal/length symbol 287 fails",
                         w.bytes, 1, ""});
    }
    for (uint32_t symbol : {30u, 31u}) {
        DynamicCodes codes(literalsWith286And287(), std::vector<uint32_t>(32, 5));
        BitWriter w;
        codes.putHeader(w, true);
        codes.putLiteral(w, 'a');
        codes.putLiteral(w, 257);
        codes.putDistance(w, symbol);
        codes.putLiteral(w, 256);
        cases.push_back({symbol == 30 ? "distance symbol 30 fails" : "distance symbol 31 fails", w.bytes, 1, ""});
    }
    {
        // Lengths sent with repeats, the last ending exactly at nl + nd, or
        // one further. 97 zeros (0..96), 'a' 1 bit, 138 + 20 zeros (98..255),
        // 256 1 bit, then the distance lengths: a 2 and three more by 16.
        for (uint32_t distanceCount : {4u, 3u}) {
            BitWriter w;
            std::vector<uint32_t> lit(257, 0);
            lit['a'] = 1;
            lit[256] = 1;
            std::vector<CodeLengthItem> v = {{18, 97 - 11}, {1, 0}, {18, 138 - 11}, {18, 20 - 11}, {1, 0},
                                             {2, 0}, {16, 0}};
            putDynamicHeader(w, true, 257, distanceCount, standardCodeLengthLengths(), v);
            DynamicCodes codes(lit, std::vector<uint32_t>(distanceCount, 2));
            codes.putLiteral(w, 'a');
            codes.putLiteral(w, 256);
            cases.push_back({distanceCount == 4 ? "a repeat ending exactly at nl + nd is accepted"
                                                : "a repeat one past nl + nd fails",
                             w.bytes, distanceCount == 4 ? 0 : 1, "a"});
        }
    }
    {
        // 16 first of all repeats length 0: symbols 0..2 get no code; if it
        // repeated anything else the code below would be over-subscribed.
        std::vector<uint32_t> lit(257, 0);
        lit[3] = 1;
        lit[256] = 1;
        // 3 zeros by 16, symbol 3, 138 + 114 zeros (4..255), 256, one distance length.
        std::vector<CodeLengthItem> v = {{16, 0}, {1, 0}, {18, 138 - 11}, {18, 114 - 11}, {1, 0}, {1, 0}};
        BitWriter w;
        putDynamicHeader(w, true, 257, 1, standardCodeLengthLengths(), v);
        DynamicCodes codes(lit, {1});
        codes.putLiteral(w, 3);
        codes.putLiteral(w, 256);
        cases.push_back({"a 16 before any length repeats 0", w.bytes, 0, "\x03"});
    }
    for (uint32_t nl : {257u, 258u}) {
        // Every distance length zero: the block can hold only literals.
        std::vector<uint32_t> lit(nl, 0);
        lit['a'] = 1;
        lit[256] = nl == 258 ? 2 : 1;
        if (nl == 258)
            lit[257] = 2;
        DynamicCodes codes(lit, {0});
        BitWriter w;
        codes.putHeader(w, true);
        codes.putLiteral(w, 'a');
        codes.putLiteral(w, 'a');
        codes.putLiteral(w, 256);
        cases.push_back({nl == 257 ? "nl 257 with no distance code, literals only"
                                   : "nl 258 with no distance code, literals only",
                         w.bytes, 0, "aa"});
        if (nl == 258) {
            BitWriter m;
            codes.putHeader(m, true);
            codes.putLiteral(m, 'a');
            codes.putLiteral(m, 257);   // a match, but there is no distance code
            m.put(0, 8);
            codes.putLiteral(m, 256);
            cases.push_back({"a length symbol in a block with no distance code fails", m.bytes, 1, ""});
        }
    }
    for (uint32_t pattern : {0u, 1u}) {
        // The only distance code: symbol 3 (distance 4) with length 1.
        std::vector<uint32_t> lit(258, 0);
        lit['a'] = 2;
        lit['b'] = 2;
        lit[256] = 2;
        lit[257] = 2;
        DynamicCodes codes(lit, {0, 0, 0, 1});
        BitWriter w;
        codes.putHeader(w, true);
        for (char c : std::string("abab"))
            codes.putLiteral(w, uint32_t(c));
        codes.putLiteral(w, 257);
        w.put(pattern, 1);   // 0 is the code of distance symbol 3; 1 is no code
        codes.putLiteral(w, 256);
        cases.push_back({pattern == 0 ? "a lone 1-bit distance code is accepted"
                                      : "the other pattern of a lone 1-bit distance code fails",
                         w.bytes, pattern == 0 ? 0 : 1, "abababa"});
    }
    {
        // Code-length code: only symbol 8, of length 1. Both 1-bit patterns
        // send 8, so all 289 lengths are 8: the literal/length code is then
        // over-subscribed (result 2), which shows the code-length code was accepted.
        std::vector<uint32_t> cl(19, 0);
        cl[8] = 1;
        BitWriter w;
        w.put(1, 1);
        w.put(2, 2);
        w.put(288 - 257, 5);
        w.put(0, 5);
        w.put(19 - 4, 4);
        for (uint32_t j = 0; j < 19; j++)
            w.put(cl[codeLengthOrder()[j]], 3);
        for (uint32_t i = 0; i < 289; i++)
            w.put(i & 1, 1);
        cases.push_back({"a lone 1-bit code-length code sends its symbol for both patterns", w.bytes, 2, ""});
    }
    {
        std::vector<uint32_t> cl(19, 0);
        BitWriter w;
        putDynamicHeader(w, true, 257, 1, cl, {});
        cases.push_back({"a code-length code with no code fails", w.bytes, 1, ""});
    }
    {
        std::vector<uint32_t> cl(19, 0);
        cl[0] = 2;
        cl[1] = 2;
        cl[18] = 2;
        BitWriter w;
        putDynamicHeader(w, true, 257, 1, cl, {});
        cases.push_back({"an incomplete code-length code fails", w.bytes, 1, ""});
    }
    {
        std::vector<uint32_t> cl(19, 1);
        BitWriter w;
        putDynamicHeader(w, true, 257, 1, cl, {});
        cases.push_back({"an over-subscribed code-length code gives 2", w.bytes, 2, ""});
    }
    {
        std::vector<uint32_t> lit(257, 0);
        lit['a'] = 2;
        lit[256] = 2;   // half the code space is unused
        DynamicCodes codes(lit, {1, 1});
        BitWriter w;
        codes.putHeader(w, true);
        codes.putLiteral(w, 256);
        cases.push_back({"an incomplete literal/length code fails", w.bytes, 1, ""});
    }
    {
        DynamicCodes codes(std::vector<uint32_t>(257, 0), {1, 1});
        BitWriter w;
        codes.putHeader(w, true);
        cases.push_back({"a literal/length code with no code fails", w.bytes, 1, ""});
    }
    {
        std::vector<uint32_t> lit(257, 0);
        lit['a'] = 1;
        lit[256] = 1;
        DynamicCodes codes(lit, {1, 1, 1});
        BitWriter w;
        codes.putHeader(w, true);
        cases.push_back({"an over-subscribed distance code gives 2", w.bytes, 2, ""});
    }
    {
        // An incomplete distance code is accepted: distances 1 and 2 only, of lengths 1 and 2.
        std::vector<uint32_t> lit(258, 0);
        lit['a'] = 1;
        lit[256] = 2;
        lit[257] = 2;
        DynamicCodes codes(lit, {1, 2});
        BitWriter w;
        codes.putHeader(w, true);
        codes.putLiteral(w, 'a');
        codes.putLiteral(w, 257);
        codes.putDistance(w, 0);
        codes.putLiteral(w, 256);
        cases.push_back({"an incomplete distance code is accepted", w.bytes, 0, "aaaa"});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Decoded d = decode(c.stream);
        EXPECT_EQ(d.result, c.result);
        if (c.result == 0)
            EXPECT_EQ(d.out, text(c.expected));
    }
}

TEST(InflateStream, fixedBlockMatchesFollowLz77)
{
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, uint32_t>> matches;   // (length, distance)
    };
    const Case cases[] = {
        {"length 258 at distance 1 repeats the previous byte", {{258, 1}}},
        {"overlapping pattern of three", {{3, 3}, {100, 3}}},
        {"a distance before the output's start copies zeros", {{3, 100}}},
        {"a distance of 7 and 8 across the word size", {{40, 7}, {40, 8}, {40, 9}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BitWriter w;
        w.put(1, 1);
        w.put(1, 2);
        Bytes expected = text("xyz");
        for (uint8_t b : expected)
            putFixedLiteral(w, b);
        for (auto [length, distance] : c.matches) {
            putFixedMatch(w, length, distance);
            appendMatch(expected, length, distance);
        }
        putFixedLiteral(w, 256);
        Decoded d = decode(w.bytes);
        EXPECT_EQ(d.result, 0);
        EXPECT_EQ(d.out, expected);
    }
}

TEST(InflateStream, fixedTablesAreBuiltOncePerEntry)
{
    BitWriter w;
    for (int block = 0; block < 3; block++) {
        w.put(block == 2 ? 1 : 0, 1);
        w.put(1, 2);
        putFixedLiteral(w, 'a' + uint32_t(block));
        putFixedLiteral(w, 256);
    }
    for (int entry = 0; entry < 2; entry++) {
        long before = tableAllocations();
        Decoded d = decode(w.bytes);
        EXPECT_EQ(d.result, 0);
        EXPECT_EQ(d.out, text("abc"));
        EXPECT_EQ(tableAllocations() - before, 105 + 1) << "fixed literal/length and distance tables, once";
    }
}

// Output through the window: the writes, their sizes, and matches that cross
// the window's end or reach back a whole window.
TEST(InflateStream, windowIsWrittenWhenFullAndMatchesWrapAroundIt)
{
    struct Case {
        const char* what;
        size_t storedBytes;                                   // random bytes sent stored first
        std::vector<std::pair<uint32_t, uint32_t>> matches;   // then, in a fixed block: (length, distance)
        std::vector<uint32_t> writes;
    };
    const Case cases[] = {
        {"exactly one window: written when full, then a write of 0", 32768, {}, {32768, 0}},
        {"two windows and 5 bytes: three writes", 65541, {}, {32768, 32768, 5}},
        {"exactly two windows", 65536, {}, {32768, 32768, 0}},
        {"a match crossing the window's end is split there", 32760, {{20, 1000}}, {32768, 12}},
        {"distance 32768 reproduces the bytes a window earlier", 40000, {{258, 32768}, {258, 32768}},
         {32768, 40000 + 516 - 32768}},
        {"a distance beyond the window position reaches its top", 40000, {{258, 30000}, {100, 7300}},
         {32768, 40000 + 358 - 32768}},
        {"an overlapping match crossing the window's end", 32700, {{258, 3}}, {32768, 32700 + 258 - 32768}},
        {"distance 32768 at the window's end", 32768 + 32700, {{258, 32768}}, {32768, 32768, 32700 + 258 - 32768}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes expected = randomBytes(c.storedBytes, uint32_t(c.storedBytes));
        BitWriter w;
        putStored(w, expected, c.matches.empty());
        if (!c.matches.empty()) {
            w.put(1, 1);
            w.put(1, 2);
            for (auto [length, distance] : c.matches) {
                putFixedMatch(w, length, distance);
                appendMatch(expected, length, distance);
            }
            putFixedLiteral(w, 256);
        }
        Decoded d = decode(w.bytes);
        EXPECT_EQ(d.result, 0);
        EXPECT_TRUE(d.out == expected);
        EXPECT_EQ(outputWriteSizes(), c.writes);
    }
}

TEST(InflateStream, failedWindowWriteGives1)
{
    BitWriter w;
    putStored(w, randomBytes(70000, 1), true);
    for (int nth : {1, 2, 3}) {
        SCOPED_TRACE(nth);
        failOutputWrite(nth);
        Decoded d = decode(w.bytes);
        failOutputWrite(0);
        EXPECT_EQ(d.result, 1);
    }
    // The same through a Huffman block: a full window written from inflateCodes.
    Bytes data(40000, 'q');
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes stream(deflateBound(&z, uLong(data.size())));
    z.next_in = data.data();
    z.avail_in = uInt(data.size());
    z.next_out = stream.data();
    z.avail_out = uInt(stream.size());
    deflate(&z, Z_FINISH);
    stream.resize(z.total_out);
    deflateEnd(&z);
    failOutputWrite(1);
    Decoded d = decode(stream);
    failOutputWrite(0);
    EXPECT_EQ(d.result, 1);
}

Bytes zlibDeflate(const Bytes& data, int level, int strategy)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy);
    Bytes stream(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = stream.data();
    z.avail_out = uInt(stream.size());
    deflate(&z, Z_FINISH);
    stream.resize(z.total_out);
    deflateEnd(&z);
    return stream;
}

Bytes sampleText(size_t n)
{
    static const char* words[] = {"window ", "table ", "code ", "length ", "distance ", "block ", "bit ", "\n"};
    std::mt19937 rng(3);
    Bytes out;
    while (out.size() < n)
        for (const char* p = words[rng() % 8]; *p && out.size() < n; p++)
            out.push_back(uint8_t(*p));
    return out;
}

// A dynamic block in which the all-zero pattern is the literal 'a': the zero
// bytes fed past the end of a truncated copy would decode as 'a' forever, so
// only stopping at the first such bit ends the decoding.
Bytes literalOnZeroBits()
{
    std::vector<uint32_t> lit(257, 0);
    lit['a'] = 1;
    lit[256] = 1;
    DynamicCodes codes(lit, {1});
    BitWriter w;
    codes.putHeader(w, true);
    for (int i = 0; i < 40; i++)
        codes.putLiteral(w, 'a');
    codes.putLiteral(w, 256);
    return w.bytes;
}

TEST(InflateStream, everyTruncationOfAValidStreamGives1)
{
    struct Case {
        const char* what;
        Bytes stream;
    };
    std::vector<Case> cases = {
        {"stored", fromHex("01 03 00 FC FF 61 62 63")},
        {"fixed", fromHex("4B 4C 4A 06 00")},
        {"fixed with a match", fromHex("4B 04 42 00")},
        {"zlib dynamic", zlibDeflate(sampleText(3000), 9, Z_DEFAULT_STRATEGY)},
        {"zlib fixed", zlibDeflate(sampleText(3000), 9, Z_FIXED)},
        {"zlib Huffman only", zlibDeflate(sampleText(2000), 9, Z_HUFFMAN_ONLY)},
        {"zlib stored", zlibDeflate(sampleText(500), 0, Z_DEFAULT_STRATEGY)},
        {"dynamic, all-zero bits decode as a literal", literalOnZeroBits()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(decode(c.stream).result, 0);
        for (size_t n = 0; n < c.stream.size(); n++) {
            Decoded d = decode(Bytes(c.stream.begin(), c.stream.begin() + long(n)));
            ASSERT_EQ(d.result, 1) << "prefix of " << n << " bytes";
        }
    }
}

TEST(InflateStream, allocationFailureGives3AndLeavesNothingAllocated)
{
    struct Case {
        const char* what;
        Bytes stream;
        int allocations;
    };
    const Case cases[] = {
        {"fixed block", zlibDeflate(sampleText(5000), 9, Z_FIXED), 106},
        {"dynamic blocks", zlibDeflate(sampleText(5000), 9, Z_DEFAULT_STRATEGY), 0},
    };
    for (const Case& c : cases) {
        long before = tableAllocations();
        ASSERT_EQ(decode(c.stream).result, 0);
        long needed = tableAllocations() - before;
        if (c.allocations)
            EXPECT_EQ(needed, c.allocations);
        for (long nth = 1; nth <= needed; nth++) {
            SCOPED_TRACE(std::string(c.what) + ", allocation " + std::to_string(nth));
            failTableAllocation(int(nth));
            Decoded d = decode(c.stream);
            failTableAllocation(0);
            EXPECT_EQ(d.result, 3);
        }
    }
}

} // namespace
