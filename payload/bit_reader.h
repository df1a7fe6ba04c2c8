// The decoder's bit reader: input bits least-significant first, bounded by inputEnd.
//
// A block decoder copies the bit state of inflateState into a BitReader, works
// on that local copy, and stores it back once when it finishes. The local
// buffer is 64 bits wide so that the fast loop can fetch eight bytes at a time;
// storing hands whole unconsumed bytes back to the input, which leaves at most
// 7 bits in inflateState.bitBuffer between blocks.
//
// Bounded input: at inputEnd the reader feeds zero bytes ("phantom" bytes,
// counted in overrun) instead of reading past the data, because a lookup may
// look up to two bytes past the last code of a well-formed stream. Phantom bits
// are the newest bits in the buffer, so some were consumed exactly when fewer
// than 8 * overrun bits remain; the decoders check that before they act on a
// symbol, and fail with result 1.
#pragma once

#include <cstdint>

#include "inflate_state.h"

struct BitReader {
    uint64_t bits;            // fetched, unconsumed bits; the next bit is bit 0
    uint32_t count;           // valid bits in `bits`, at most 63
    const uint8_t* cursor;    // next input byte; never beyond end
    const uint8_t* end;       // one past the last input byte
    uint32_t overrun;         // phantom zero bytes fed past end, still in `bits`
};

inline BitReader loadBits()
{
    BitReader in;
    in.bits = inflateState.bitBuffer;
    in.count = inflateState.bitCount;
    in.cursor = inflateState.inputCursor;
    in.end = inflateState.inputEnd;
    in.overrun = inflateState.overrunBytes;
    return in;
}

// Gives whole unconsumed bytes back (phantom bytes first, as they are the
// newest), so the 32-bit state holds at most 7 bits.
inline void storeBits(BitReader in)
{
    uint32_t spare = in.count >> 3;
    uint32_t phantom = spare < in.overrun ? spare : in.overrun;
    in.overrun -= phantom;
    in.cursor -= spare - phantom;
    in.count &= 7;
    inflateState.bitBuffer = uint32_t(in.bits & ((uint32_t(1) << in.count) - 1));
    inflateState.bitCount = in.count;
    inflateState.inputCursor = in.cursor;
    inflateState.overrunBytes = in.overrun;
}

// Makes at least n (<= 32) bits valid, fetching one byte at a time.
inline void needBits(BitReader& in, uint32_t n)
{
    while (in.count < n) {
        uint64_t byte = 0;
        if (in.cursor < in.end)
            byte = *in.cursor++;
        else
            in.overrun++;
        in.bits |= byte << in.count;
        in.count += 8;
    }
}

// The next n valid bits (n <= 32).
inline uint32_t peekBits(const BitReader& in, uint32_t n)
{
    return uint32_t(in.bits & ((uint64_t(1) << n) - 1));
}

inline void dumpBits(BitReader& in, uint32_t n)
{
    in.bits >>= n;
    in.count -= n;
}

// True once the decoder has consumed any bit beyond the end of the input.
inline bool pastEnd(const BitReader& in)
{
    return in.count < in.overrun * 8;
}
