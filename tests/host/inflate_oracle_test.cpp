// The decoder against zlib's raw inflate, byte for byte, on streams that zlib
// and libdeflate make from generated data at every level and strategy.
#include <gtest/gtest.h>

#include <libdeflate.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "host_decoder.h"
#include "host_hooks.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes zlibDeflate(const Bytes& data, int level, int strategy)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
    Bytes stream(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = stream.data();
    z.avail_out = uInt(stream.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    stream.resize(z.total_out);
    deflateEnd(&z);
    return stream;
}

Bytes libdeflateCompress(const Bytes& data, int level)
{
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Bytes stream(libdeflate_deflate_compress_bound(c, data.size()));
    stream.resize(libdeflate_deflate_compress(c, data.data(), data.size(), stream.data(), stream.size()));
    libdeflate_free_compressor(c);
    return stream;
}

// zlib's raw inflate: the oracle.
bool zlibInflate(const Bytes& stream, size_t expectedSize, Bytes& out)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    out.assign(expectedSize + 1, 0);
    z.next_in = const_cast<uint8_t*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    int r = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return r == Z_STREAM_END;
}

// Generated data of four kinds.
enum class Kind { text, binary, random, repetitive };

const char* kindName(Kind k)
{
    switch (k) {
    case Kind::text:
        return "text";
    case Kind::binary:
        return "binary";
    case Kind::random:
        return "random";
    default:
        return "repetitive";
    }
}

Bytes generate(Kind kind, size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out;
    out.reserve(n);
    switch (kind) {
    case Kind::text: {
        static const char* words[] = {"the ", "decoder ", "reads ", "a ",     "stream ", "of ",    "codes ",
                                      "and ", "writes ", "each ",   "byte ", "once ",   "<p>",    "</p>\n",
                                      "window ", "table ", "Tolm ",  "book ", "page ",   "index, ", "chapter. "};
        while (out.size() < n) {
            double u = std::uniform_real_distribution<double>(0, 1)(rng);
            for (const char* p = words[size_t(u * u * 21)]; *p && out.size() < n; p++)
                out.push_back(uint8_t(*p));
        }
        break;
    }
    case Kind::binary:
        // Little-endian records: a counter, a slowly varying value, flags, padding.
        for (uint32_t i = 0; out.size() < n; i++) {
            uint32_t fields[4] = {i, uint32_t(1000 + (i / 7) * 3 + rng() % 4), rng() % 16 == 0 ? 0xFFu : 0x01u, 0};
            for (uint32_t f : fields)
                for (int b = 0; b < 4 && out.size() < n; b++)
                    out.push_back(uint8_t(f >> (8 * b)));
        }
        break;
    case Kind::random:
        while (out.size() < n)
            out.push_back(uint8_t(rng()));
        break;
    case Kind::repetitive:
        // Long runs and a short pattern repeated, with rare changes.
        while (out.size() < n) {
            uint8_t b = uint8_t(rng() % 4);
            size_t run = 1 + rng() % 600;
            for (size_t i = 0; i < run && out.size() < n; i++)
                out.push_back(rng() % 3 == 0 ? uint8_t("abc"[i % 3]) : b);
        }
        break;
    }
    return out;
}

struct Compressor {
    std::string name;
    std::function<Bytes(const Bytes&)> compress;
};

std::vector<Compressor> allCompressors()
{
    std::vector<Compressor> all;
    const std::pair<int, const char*> strategies[] = {{Z_DEFAULT_STRATEGY, "default"},
                                                      {Z_FILTERED, "filtered"},
                                                      {Z_HUFFMAN_ONLY, "Huffman-only"},
                                                      {Z_RLE, "RLE"},
                                                      {Z_FIXED, "fixed"}};
    for (int level = 0; level <= 9; level++)
        for (auto [strategy, name] : strategies)
            all.push_back({"zlib level " + std::to_string(level) + " " + name,
                           [level, strategy = strategy](const Bytes& d) { return zlibDeflate(d, level, strategy); }});
    for (int level = 1; level <= 12; level++)
        all.push_back({"libdeflate level " + std::to_string(level),
                       [level](const Bytes& d) { return libdeflateCompress(d, level); }});
    return all;
}

void expectSameAsZlib(const Bytes& data, const Bytes& stream)
{
    Bytes expected;
    ASSERT_TRUE(zlibInflate(stream, data.size(), expected)) << "zlib rejects the stream";
    ASSERT_TRUE(expected == data);
    Bytes out;
    ASSERT_EQ(decodeRawDeflate(stream.data(), stream.size(), out), 0);
    ASSERT_EQ(out.size(), expected.size());
    ASSERT_TRUE(out == expected) << "output differs from zlib's";
    ASSERT_EQ(liveTableBlocks(), 0);
}

TEST(InflateOracle, everyLevelAndStrategyOfSmallAndMidSizesMatchesZlib)
{
    const size_t sizes[] = {0, 1, 258, 32768, 65537, 150000};
    const Kind kinds[] = {Kind::text, Kind::binary, Kind::random, Kind::repetitive};
    std::vector<Compressor> compressors = allCompressors();
    for (Kind kind : kinds)
        for (size_t size : sizes) {
            Bytes data = generate(kind, size, uint32_t(size) + 11);
            for (const Compressor& c : compressors) {
                SCOPED_TRACE(std::string(kindName(kind)) + ", " + std::to_string(size) + " bytes, " + c.name);
                expectSameAsZlib(data, c.compress(data));
            }
        }
}

TEST(InflateOracle, multiMegabyteInputsMatchZlib)
{
    const Compressor compressors[] = {
        {"zlib level 1", [](const Bytes& d) { return zlibDeflate(d, 1, Z_DEFAULT_STRATEGY); }},
        {"zlib level 9", [](const Bytes& d) { return zlibDeflate(d, 9, Z_DEFAULT_STRATEGY); }},
        {"libdeflate level 6", [](const Bytes& d) { return libdeflateCompress(d, 6); }},
        {"libdeflate level 12", [](const Bytes& d) { return libdeflateCompress(d, 12); }},
    };
    const Kind kinds[] = {Kind::text, Kind::binary, Kind::random, Kind::repetitive};
    for (Kind kind : kinds) {
        Bytes data = generate(kind, (3u << 20) + 12345, 99);
        for (const Compressor& c : compressors) {
            SCOPED_TRACE(std::string(kindName(kind)) + ", " + c.name);
            expectSameAsZlib(data, c.compress(data));
        }
    }
}

} // namespace
