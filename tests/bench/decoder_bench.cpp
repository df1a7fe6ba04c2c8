// Decoder throughput: the installer's decoder (natively, with its integrity
// CRC), zlib's raw inflate and libdeflate, all decoding into memory.
//
// Inputs: the packed book (the book's files concatenated), a generated text
// and a generated binary of at least 4 MiB each, each compressed by libdeflate
// level 12 and zlib level 9. For every stream it prints the median MB/s of
// several runs (MB of decoded output), our ratio to both peers, our speed
// without the CRC (a copy of the decoder built without it, loaded as a module)
// and the CRC's share of our time, and the time to build the tables of one
// dynamic block.
//
// usage: decoder_bench [BOOK_DIR]
#include <dlfcn.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "host_decoder.h"
#include "huffman.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr size_t generatedSize = 4u << 20;
constexpr int minimumRuns = 7;
constexpr double minimumSeconds = 0.4;   // per decoder and stream: more runs for small inputs

struct Stream {
    std::string input;
    std::string compressor;
    Bytes original;
    Bytes compressed;
};

// ---- Inputs -----------------------------------------------------------------

Bytes readBook(const std::string& dir)
{
    Bytes all;
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (auto& entry : std::filesystem::recursive_directory_iterator(dir, error))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (auto& path : files) {
        std::ifstream file(path, std::ios::binary);
        all.insert(all.end(), std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return all;
}

// The words of the book (letters only), or a small built-in vocabulary.
std::vector<std::string> vocabulary(const Bytes& book)
{
    std::vector<std::string> words;
    std::string word;
    for (uint8_t c : book) {
        if (std::isalpha(c)) {
            word += char(c);
        } else {
            if (word.size() > 1 && word.size() < 14)
                words.push_back(word);
            word.clear();
        }
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    if (words.size() < 50)
        words = {"the", "value", "of", "a", "channel", "is", "sent", "to", "each", "function", "returns",
                 "when", "loop", "ends", "type", "binding", "closure", "error", "module", "export", "with",
                 "string", "number", "list", "map", "key", "field", "record", "method", "interface", "and",
                 "or", "not", "if", "else", "for", "while", "match", "case", "default", "program", "file",
                 "line", "name", "scope", "block", "call", "stack", "heap", "memory", "thread", "lock"};
    return words;
}

// Paragraphs of sentences in light HTML; word choice is skewed (frequent words
// are frequent), as in prose.
Bytes generateText(const std::vector<std::string>& words)
{
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto pick = [&]() -> const std::string& {
        double u = unit(rng);
        return words[size_t(double(words.size()) * u * u * u)];
    };
    std::string text;
    int section = 0;
    while (text.size() < generatedSize) {
        if (rng() % 12 == 0)
            text += "<h2>" + std::to_string(++section) + ". " + pick() + " " + pick() + "</h2>\n";
        text += "<p>";
        int sentences = 2 + int(rng() % 6);
        for (int s = 0; s < sentences; s++) {
            int count = 5 + int(rng() % 15);
            for (int w = 0; w < count; w++) {
                std::string word = pick();
                if (w == 0)
                    word[0] = char(std::toupper(uint8_t(word[0])));
                text += word;
                if (w + 1 < count)
                    text += (rng() % 9 == 0) ? ", " : " ";
            }
            text += (rng() % 7 == 0) ? "? " : ". ";
            if (rng() % 5 == 0)
                text += "<code>" + pick() + "(" + pick() + ")</code> ";
        }
        text += "</p>\n";
    }
    return Bytes(text.begin(), text.end());
}

void put32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.push_back(uint8_t(v >> (8 * i)));
}

// Sections of a synthetic program image: instruction-like code with skewed
// opcodes and nearby addresses, relocation tables of ascending offsets,
// sampled smooth curves as floats, fixed-size records and a string table.
Bytes generateBinary(const std::vector<std::string>& words)
{
    std::mt19937 rng(42);
    Bytes out;
    uint32_t address = 0x401000;
    while (out.size() < generatedSize) {
        size_t sectionEnd = out.size() + 4096 + rng() % 61440;
        switch (rng() % 5) {
        case 0: {   // code
            static const uint8_t opcodes[] = {0x8B, 0x89, 0xE8, 0x83, 0x85, 0x74, 0x75, 0x50, 0x58, 0xC3, 0x33, 0x0F};
            while (out.size() < sectionEnd) {
                uint32_t r = rng();
                out.push_back(opcodes[(r & 0xFF) % 12 * ((r >> 8) & 1) + ((r >> 9) & 1)]);
                if (r & 0x10000) {
                    out.push_back(uint8_t(0x40 + (r >> 20) % 8));
                } else if (r & 0x20000) {
                    address += (r >> 24) % 64;
                    put32(out, address);
                }
            }
            break;
        }
        case 1: {   // relocations
            uint32_t offset = uint32_t(rng() % 0x10000);
            while (out.size() < sectionEnd) {
                offset += 4 + 4 * (rng() % 8);
                put32(out, 0x3000 | (offset & 0xFFF));
            }
            break;
        }
        case 2: {   // sampled curves
            double phase = rng() % 100;
            for (int i = 0; out.size() < sectionEnd; i++) {
                float f = float(std::sin(phase + i * 0.01) * 1000.0);
                uint32_t bitsOfF;
                std::memcpy(&bitsOfF, &f, 4);
                put32(out, bitsOfF);
            }
            break;
        }
        case 3: {   // records: id, flags, a name, a counter
            for (uint32_t id = 1; out.size() < sectionEnd; id++) {
                put32(out, id);
                put32(out, rng() % 4 == 0 ? 0x80000001 : 1);
                std::string name = words[rng() % words.size()];
                name.resize(16, '\0');
                out.insert(out.end(), name.begin(), name.end());
                put32(out, id * 100 + rng() % 10);
            }
            break;
        }
        default:   // string table
            while (out.size() < sectionEnd) {
                std::string s = words[rng() % words.size()] + "_" + words[rng() % words.size()];
                out.insert(out.end(), s.begin(), s.end());
                out.push_back(0);
            }
        }
    }
    return out;
}

Bytes compressWithLibdeflate(const Bytes& in, int level)
{
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_deflate_compress_bound(c, in.size()));
    out.resize(libdeflate_deflate_compress(c, in.data(), in.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

Bytes compressWithZlib(const Bytes& in, int level)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, in.size()));
    z.next_in = const_cast<uint8_t*>(in.data());
    z.avail_in = uInt(in.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// ---- Decoders -----------------------------------------------------------------

bool decodeOurs(const Bytes& in, Bytes& out)
{
    return decodeRawDeflate(in.data(), in.size(), out) == 0;
}

using DecodeWithoutCrc = int (*)(const uint8_t*, size_t, Bytes*);

// Our decoder without the CRC, from the module built beside this program; null
// when it cannot be loaded.
DecodeWithoutCrc loadDecoderWithoutCrc()
{
    void* module = dlopen(DECODER_WITHOUT_CRC, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::printf("(no decoder without CRC: %s)\n", dlerror());
        return nullptr;
    }
    return reinterpret_cast<DecodeWithoutCrc>(dlsym(module, "decodeWithoutCrc"));
}

bool decodeZlib(const Bytes& in, Bytes& out)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    z.next_in = const_cast<uint8_t*>(in.data());
    z.avail_in = uInt(in.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    int r = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return r == Z_STREAM_END;
}

bool decodeLibdeflate(const Bytes& in, Bytes& out)
{
    static libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    size_t produced = 0;
    return libdeflate_deflate_decompress(d, in.data(), in.size(), out.data(), out.size(), &produced) ==
               LIBDEFLATE_SUCCESS &&
           produced == out.size();
}

// Median seconds of one call, over enough runs to fill minimumSeconds.
template <typename Work> double medianSeconds(Work work)
{
    std::vector<double> times;
    double total = 0;
    while (int(times.size()) < minimumRuns || total < minimumSeconds) {
        auto start = Clock::now();
        work();
        double t = std::chrono::duration<double>(Clock::now() - start).count();
        times.push_back(t);
        total += t;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs the four pieces of work in turn, round after round, so that a machine
// busy with other work slows them alike; times[i] gets piece i's run times.
template <typename A, typename B, typename C, typename D>
void interleavedRuns(std::vector<double> (&times)[4], A a, B b, C c, D d)
{
    auto timed = [](auto& work) {
        auto start = Clock::now();
        work();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double total = 0;
    for (int round = 0; round < 3 * minimumRuns || total < 3 * minimumSeconds; round++) {
        times[0].push_back(timed(a));
        times[1].push_back(timed(b));
        times[2].push_back(timed(c));
        times[3].push_back(timed(d));
        total += times[0].back() + times[1].back() + times[2].back();
    }
}

// ---- Table-build time per dynamic block ------------------------------------

// The code lengths of one dynamic block: nl literal/length lengths, then nd distance lengths.
struct BlockLengths {
    uint32_t codeLength[19];
    std::vector<uint32_t> lengths;
    uint32_t nl;
    uint32_t nd;
};

struct HeaderReader {
    const uint8_t* data;
    size_t size;
    size_t bitPos;
    uint32_t take(uint32_t n)
    {
        uint32_t v = 0;
        for (uint32_t i = 0; i < n; i++, bitPos++) {
            size_t byte = bitPos >> 3;
            uint32_t bit = byte < size ? (data[byte] >> (bitPos & 7)) & 1 : 0;
            v |= bit << i;
        }
        return v;
    }
};

// Finds every block boundary with zlib (Z_BLOCK) and reads each dynamic
// block's code lengths, decoding the code-length code with our own builder.
std::vector<BlockLengths> dynamicBlocks(const Bytes& compressed, size_t outputSize)
{
    static const uint32_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    std::vector<BlockLengths> blocks;
    Bytes out(outputSize + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<uint8_t*>(compressed.data());
    z.avail_in = uInt(compressed.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    for (;;) {
        // At a boundary: the next block starts data_type & 7 bits before next_in.
        size_t bitPos = size_t(z.next_in - compressed.data()) * 8 - (z.data_type & 7);
        HeaderReader r{compressed.data(), compressed.size(), bitPos};
        r.take(1);
        if (r.take(2) == 2) {
            BlockLengths b{};
            b.nl = 257 + r.take(5);
            b.nd = 1 + r.take(5);
            uint32_t nb = 4 + r.take(4);
            for (uint32_t j = 0; j < nb; j++)
                b.codeLength[order[j]] = r.take(3);
            HuffmanTable cl = nullptr;
            uint32_t clBits = 7;
            if (buildHuffmanTable(b.codeLength, 19, 19, nullptr, nullptr, cl, clBits) == 0 && cl) {
                uint32_t prev = 0;
                while (b.lengths.size() < b.nl + b.nd) {
                    // Peek clBits without consuming, then consume the code's own length.
                    HeaderReader peek = r;
                    const DecodeEntry& e = cl[peek.take(clBits)];
                    r.take(e.bits);
                    uint32_t sym = e.value;
                    if (sym < 16) {
                        b.lengths.push_back(prev = sym);
                        continue;
                    }
                    uint32_t repeat = sym == 16 ? 3 + r.take(2) : sym == 17 ? 3 + r.take(3) : 11 + r.take(7);
                    uint32_t value = sym == 16 ? prev : 0;
                    b.lengths.insert(b.lengths.end(), repeat, value);
                    prev = value;
                }
                b.lengths.resize(b.nl + b.nd);
                blocks.push_back(b);
            }
            freeHuffmanTable(cl);
        }
        int ret = inflate(&z, Z_BLOCK);
        while (ret == Z_OK && !(z.data_type & 128))
            ret = inflate(&z, Z_BLOCK);
        if (ret != Z_OK || (z.data_type & 64))
            break;   // the stream's end, or the last block has begun
    }
    inflateEnd(&z);
    return blocks;
}

// Median microseconds to build (and free) the three tables of one dynamic block.
double tableBuildMicroseconds(const std::vector<BlockLengths>& blocks)
{
    if (blocks.empty())
        return 0;
    static const uint16_t lengthBase[31] = {3,  4,  5,  6,  7,  8,  9,   10,  11,  13,  15,  17,  19, 23, 27, 31,
                                            35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0, 0};
    static const uint16_t lengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2,  2,  2, 2,
                                             3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
    static const uint16_t distanceBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,  33,
                                              49,   65,   97,   129,  193,  257,   385,   513,   769, 1025, 1537,
                                              2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 0,   0};
    static const uint16_t distanceExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                               7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 99, 99};
    double seconds = medianSeconds([&] {
        for (const BlockLengths& b : blocks) {
            HuffmanTable cl = nullptr, lit = nullptr, dist = nullptr;
            uint32_t clBits = 7, litBits = 9, distBits = 6;
            buildHuffmanTable(b.codeLength, 19, 19, nullptr, nullptr, cl, clBits);
            buildHuffmanTable(b.lengths.data(), b.nl, 257, lengthBase, lengthExtra, lit, litBits);
            buildHuffmanTable(b.lengths.data() + b.nl, b.nd, 0, distanceBase, distanceExtra, dist, distBits);
            freeHuffmanTable(cl);
            freeHuffmanTable(lit);
            freeHuffmanTable(dist);
        }
    });
    return seconds * 1e6 / double(blocks.size());
}

} // namespace

int main(int argc, char** argv)
{
    std::string bookDir = argc > 1 ? argv[1] : "";
    Bytes book = bookDir.empty() ? Bytes() : readBook(bookDir);
    std::vector<std::string> words = vocabulary(book);

    std::vector<std::pair<std::string, Bytes>> inputs;
    if (!book.empty())
        inputs.push_back({"book", book});
    else
        std::printf("(no book folder given: the book input is skipped)\n");
    inputs.push_back({"text", generateText(words)});
    inputs.push_back({"binary", generateBinary(words)});

    const DecodeWithoutCrc withoutCrc = loadDecoderWithoutCrc();
    std::vector<Stream> streams;
    for (auto& [name, data] : inputs) {
        streams.push_back({name, "libdeflate-12", data, compressWithLibdeflate(data, 12)});
        streams.push_back({name, "zlib-9", data, compressWithZlib(data, 9)});
    }

    std::printf("%-7s %-13s %9s %7s | %8s %8s %10s | %7s %7s | %6s %8s | %8s %9s\n", "input", "compressed by",
                "size", "ratio", "ours", "zlib", "libdeflate", "/zlib", "/libdef", "CRC", "ours", "dynamic",
                "build/blk");
    std::printf("%-7s %-13s %9s %7s | %8s %8s %10s | %7s %7s | %6s %8s | %8s %9s\n", "", "", "bytes", "", "MB/s",
                "MB/s", "MB/s", "", "", "share", "no CRC", "blocks", "us");
    bool allCorrect = true;
    for (const Stream& s : streams) {
        Bytes out;
        out.reserve(s.original.size());
        Bytes peerOut(s.original.size());
        auto checked = [&](bool ok, const Bytes& produced) {
            if (!ok || produced != s.original) {
                std::printf("MISMATCH decoding %s/%s\n", s.input.c_str(), s.compressor.c_str());
                allCorrect = false;
            }
        };
        checked(decodeOurs(s.compressed, out), out);
        checked(decodeZlib(s.compressed, peerOut), peerOut);
        checked(decodeLibdeflate(s.compressed, peerOut), peerOut);

        Bytes outWithoutCrc;
        outWithoutCrc.reserve(s.original.size());
        if (withoutCrc)
            checked(withoutCrc(s.compressed.data(), s.compressed.size(), &outWithoutCrc) == 0, outWithoutCrc);

        const double mb = double(s.original.size()) / 1e6;
        std::vector<double> times[4];
        interleavedRuns(times, [&] { decodeOurs(s.compressed, out); }, [&] { decodeZlib(s.compressed, peerOut); },
                        [&] { decodeLibdeflate(s.compressed, peerOut); },
                        [&] {
                            if (withoutCrc)
                                withoutCrc(s.compressed.data(), s.compressed.size(), &outWithoutCrc);
                        });
        double ours = median(times[0]);
        double zlib = median(times[1]);
        double libdeflate = median(times[2]);
        double noCrc = withoutCrc ? median(times[3]) : NAN;
        std::vector<BlockLengths> blocks = dynamicBlocks(s.compressed, s.original.size());
        std::printf("%-7s %-13s %9zu %6.1f%% | %8.1f %8.1f %10.1f | %6.2fx %6.2fx | %5.1f%% %8.1f | %8zu %9.2f\n",
                    s.input.c_str(), s.compressor.c_str(), s.compressed.size(),
                    100.0 * double(s.compressed.size()) / double(s.original.size()), mb / ours, mb / zlib,
                    mb / libdeflate, zlib / ours, libdeflate / ours, 100.0 * (ours - noCrc) / ours, mb / noCrc,
                    blocks.size(),
                    tableBuildMicroseconds(blocks));
    }
    std::printf("MB/s: decoded megabytes (10^6) per second, median run. /zlib, /libdef: our speed relative to "
                "the peer (above 1 is faster).\nCRC share: the integrity CRC's part of our decode time; no CRC: "
                "the same decoder built without it, run in the same rounds. build/blk: code-length, literal/length and distance tables "
                "of one dynamic block, built and freed.\n");
    return allCorrect ? 0 : 1;
}
