// libFuzzer target: raw DEFLATE streams into the decoder, with zlib's raw
// inflate as the oracle.
//
// Whatever the input, the decoder returns 0..3, never reads past the input
// (libFuzzer hands it an exact-size heap copy, under AddressSanitizer) and
// frees every table block, also when a table allocation fails. Where zlib decodes the stream completely, the
// decoder must succeed with the same bytes: it is more lenient than zlib in a
// few places (distances before the output's start, incomplete distance codes,
// more than 286/30 code lengths) but never stricter, except where the input
// is truncated, and zlib cannot finish a truncated stream either.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host_decoder.h"
#include "host_hooks.h"

namespace {

constexpr size_t zlibOutputLimit = size_t(1) << 26;   // beyond this, zlib's answer is not awaited

void fail(const char* what)
{
    std::fprintf(stderr, "decoder_fuzz: %s\n", what);
    std::abort();
}

// 1 when zlib decodes the stream to its end (its output in `out`), 0 when it
// rejects or truncates it, -1 when the output would pass the limit.
int zlibInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        fail("zlib init");
    z.next_in = const_cast<uint8_t*>(data);
    z.avail_in = uInt(size);
    uint8_t chunk[65536];
    int r = Z_OK;
    while (r == Z_OK) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        r = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
        if (out.size() > zlibOutputLimit) {
            inflateEnd(&z);
            return -1;
        }
        if (r == Z_OK && z.avail_in == 0 && z.avail_out != 0)
            break;   // wants more input: truncated
    }
    inflateEnd(&z);
    return r == Z_STREAM_END ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> ours;
    long allocationsBefore = tableAllocations();
    int result = decodeRawDeflate(data, size, ours);
    long allocations = tableAllocations() - allocationsBefore;
    if (result < 0 || result > 3)
        fail("result out of range");
    if (liveTableBlocks() != 0)
        fail("table blocks left allocated");

    // Again with one of the table allocations failing (which one depends on
    // the input): the result is then 3, and nothing stays allocated.
    if (allocations > 0) {
        uint32_t pick = uint32_t(size);
        for (size_t i = 0; i < size && i < 16; i++)
            pick = pick * 31 + data[i];
        failTableAllocation(int(pick % uint32_t(allocations)) + 1);
        std::vector<uint8_t> partial;
        int failed = decodeRawDeflate(data, size, partial);
        failTableAllocation(0);
        if (failed != 3)
            fail("a failed table allocation did not give 3");
        if (liveTableBlocks() != 0)
            fail("table blocks left allocated after a failed allocation");
    }

    std::vector<uint8_t> expected;
    if (zlibInflate(data, size, expected) == 1) {
        if (result != 0)
            fail("zlib decodes the stream but the decoder fails");
        if (ours != expected)
            fail("output differs from zlib's");
    }
    return 0;
}
