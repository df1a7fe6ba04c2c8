// Decoding literal/length/distance symbols into the output window.
//
// Two loops share the work. The fast loop runs while at least sixteen input
// bytes remain and a whole match fits below the end of the window: it fetches
// eight bytes at a time and checks neither bound per symbol. The careful loop
// decodes one symbol at a time with the bounded bit reader and handles the
// window's writes; it hands back to the fast loop as soon as both bounds allow.
//
// Window: `pos` is the next write position, 0..32767 between symbols. A match
// copies from pos - distance modulo 32768, so a distance beyond the output so
// far reads older output, or the zeros the window starts with.
#include "inflate_codes.h"

#include <cstddef>
#include <cstring>

#include "bit_reader.h"

namespace {

constexpr uint32_t maxMatchLength = 258;
// A refill fetches eight bytes and leaves 56..63 valid bits; a match needs at
// most 48 (a 15-bit length code with 5 extra bits, a 15-bit distance code with
// 13). One fast round refills at most twice, advancing at most 7 bytes each time.
constexpr uint32_t fastInputBytes = 16;
constexpr uint32_t maxLiteralsPerRound = 3;
constexpr uint32_t wordSize = 8;
// Below this position a round's literals and match fit below the window's end,
// even with the match copy's overrun of up to two words past it.
constexpr uint32_t fastWindowLimit = windowSize - maxLiteralsPerRound - maxMatchLength - 2 * wordSize;
static_assert((windowSize & (windowSize - 1)) == 0, "window positions wrap with a mask");

// Copies n bytes forward a word at a time. Correct whenever each word is read
// before any byte of it is overwritten: the source lies ahead of the
// destination, or at least 8 bytes behind it, or the ranges do not overlap.
inline void copyWords(uint8_t* dst, const uint8_t* src, uint32_t n)
{
    for (; n >= 8; n -= 8, dst += 8, src += 8) {
        uint64_t word;
        std::memcpy(&word, src, 8);
        std::memcpy(dst, &word, 8);
    }
    while (n--)
        *dst++ = *src++;
}

// Writes n bytes at dst repeating the gap bytes before it (0 < gap < n), with
// the same result as copying one byte at a time.
inline void repeatPattern(uint8_t* dst, uint32_t gap, uint32_t n)
{
    if (gap >= 8) {
        copyWords(dst, dst - gap, n);
    } else if (gap == 1) {
        std::memset(dst, dst[-1], n);
    } else {
        const uint8_t* src = dst - gap;
        while (n--)
            *dst++ = *src++;
    }
}

constexpr uint32_t copyFailed = ~uint32_t(0);

// Copies a match of `length` bytes from `distance` back to `pos`, in chunks
// split at the window's end, writing each full window. Returns the new
// position, or copyFailed when a write failed.
uint32_t copyMatch(uint32_t pos, uint32_t distance, uint32_t length)
{
    uint8_t* const window = inflateState.window;
    uint32_t src = pos - distance;
    while (length != 0) {
        src &= windowSize - 1;
        uint32_t chunk = windowSize - (src > pos ? src : pos);
        if (length < chunk)
            chunk = length;
        length -= chunk;
        uint32_t gap = pos - src;   // wraps to a large value when the source is ahead
        if (gap >= chunk)
            copyWords(window + pos, window + src, chunk);
        else if (gap != 0)          // gap 0 (distance 32768): the bytes are already in place
            repeatPattern(window + pos, gap, chunk);
        src += chunk;
        pos += chunk;
        if (pos == windowSize) {
            if (flushWindow(windowSize) != 0)
                return copyFailed;
            pos = 0;
        }
    }
    return pos;
}

// Follows link entries down to a code entry, consuming each linking table's
// bits. Null for an invalid pattern or symbol. The caller has made enough bits
// valid for the whole code.
inline const DecodeEntry* followLinks(const DecodeEntry* e, uint64_t& bits, uint32_t& count)
{
    while (e->op > OP_LITERAL) {
        if (e->op == OP_INVALID)
            return nullptr;
        bits >>= e->bits;
        count -= e->bits;
        e = e->next + (bits & ((uint32_t(1) << (e->op - OP_LITERAL)) - 1));
    }
    return e;
}

inline uint64_t loadLittleEndian64(const uint8_t* p)
{
    return uint64_t(p[0]) | uint64_t(p[1]) << 8 | uint64_t(p[2]) << 16 | uint64_t(p[3]) << 24 |
           uint64_t(p[4]) << 32 | uint64_t(p[5]) << 40 | uint64_t(p[6]) << 48 | uint64_t(p[7]) << 56;
}

enum FastResult { fastEndOfBlock, fastInvalid, fastOutOfRoom };

// The fast loop. Precondition: at least fastInputBytes of input remain and
// pos < fastWindowLimit; no phantom bytes are in the buffer, since those are
// fed only at the end of the input.
FastResult decodeFast(BitReader& in, uint32_t& windowPos, const DecodeEntry* literalTable,
                      const DecodeEntry* distanceTable, uint32_t literalBits, uint32_t distanceBits)
{
    uint32_t pos = windowPos;   // a local that stays in a register
    uint8_t* const window = inflateState.window;
    const uint64_t literalMask = (uint64_t(1) << literalBits) - 1;
    const uint64_t distanceMask = (uint64_t(1) << distanceBits) - 1;
    const uint8_t* const lastRefill = in.end - fastInputBytes;
    uint64_t bits = in.bits;
    uint32_t count = in.count;
    const uint8_t* cursor = in.cursor;
    FastResult result = fastOutOfRoom;

    do {
        // Branch-free refill to 56..63 valid bits. Bits above `count` may hold
        // copies of the bytes that follow; OR-ing them in again is harmless.
        bits |= loadLittleEndian64(cursor) << count;
        cursor += (63 - count) >> 3;
        count |= 56;

        // Literals come in runs: up to three first-level literals (at most 45
        // bits) are taken from one refill; after two, a second refill restores
        // the 48 bits a match may need.
        const DecodeEntry* e = literalTable + (bits & literalMask);
        if (e->op == OP_LITERAL) {
            bits >>= e->bits;
            count -= e->bits;
            window[pos++] = uint8_t(e->value);
            e = literalTable + (bits & literalMask);
            if (e->op == OP_LITERAL) {
                bits >>= e->bits;
                count -= e->bits;
                window[pos++] = uint8_t(e->value);
                e = literalTable + (bits & literalMask);
                if (e->op == OP_LITERAL) {
                    bits >>= e->bits;
                    count -= e->bits;
                    window[pos++] = uint8_t(e->value);
                    continue;
                }
            }
            bits |= loadLittleEndian64(cursor) << count;
            cursor += (63 - count) >> 3;
            count |= 56;
        }

        e = followLinks(e, bits, count);
        if (!e) {
            result = fastInvalid;
            break;
        }
        bits >>= e->bits;
        count -= e->bits;
        uint32_t op = e->op;
        if (op == OP_LITERAL) {
            window[pos++] = uint8_t(e->value);
            continue;
        }
        if (op == OP_END_OF_BLOCK) {
            result = fastEndOfBlock;
            break;
        }
        uint32_t length = e->value + uint32_t(bits & ((uint32_t(1) << op) - 1));
        bits >>= op;
        count -= op;

        e = followLinks(distanceTable + (bits & distanceMask), bits, count);
        if (!e) {
            result = fastInvalid;
            break;
        }
        bits >>= e->bits;
        count -= e->bits;
        op = e->op;
        uint32_t distance = e->value + uint32_t(bits & ((uint32_t(1) << op) - 1));
        bits >>= op;
        count -= op;

        // Word copies are safe when the source is at least a word behind, or
        // ahead (a distance beyond pos reaches the window's top), as long as
        // the source's words stay inside the window.
        uint32_t src = (pos - distance) & (windowSize - 1);
        uint8_t* dst = window + pos;
        if (distance <= pos ? distance >= wordSize : src + length + 2 * wordSize <= windowSize) {
            // Pairs of words, overrunning the match's end by up to 15 bytes.
            // Those bytes are history that a later distance may reach, so
            // they are saved first and put back after. Every word is read
            // before a write can reach it: the source is at least a word
            // behind, or ahead.
            uint64_t beyond[2];
            std::memcpy(beyond, dst + length, 2 * wordSize);
            const uint8_t* from = window + src;
            uint8_t* const stop = dst + length;
            uint64_t word;
            std::memcpy(&word, from, wordSize);
            std::memcpy(dst, &word, wordSize);
            std::memcpy(&word, from + wordSize, wordSize);
            std::memcpy(dst + wordSize, &word, wordSize);
            for (uint8_t* to = dst + 2 * wordSize; to < stop;) {
                from += 2 * wordSize;
                std::memcpy(&word, from, wordSize);
                std::memcpy(to, &word, wordSize);
                std::memcpy(&word, from + wordSize, wordSize);
                std::memcpy(to + wordSize, &word, wordSize);
                to += 2 * wordSize;
            }
            std::memcpy(stop, beyond, 2 * wordSize);
            pos += length;
        } else if (distance <= pos) {
            repeatPattern(dst, distance, length);
            pos += length;
        } else {
            pos = copyMatch(pos, distance, length);   // cannot fill the window here, so it never fails
        }
    } while (cursor <= lastRefill && pos < fastWindowLimit);

    in.bits = bits & ((uint64_t(1) << count) - 1);
    in.count = count;
    in.cursor = cursor;
    windowPos = pos;
    return result;
}

// One symbol through the bounded reader: the first-level lookup, then one
// more per sub-table link. Null for a pattern that is not a code.
const DecodeEntry* decodeSymbol(BitReader& in, const DecodeEntry* table, uint32_t width)
{
    needBits(in, width);
    const DecodeEntry* e = table + peekBits(in, width);
    while (e->op > OP_LITERAL) {
        if (e->op == OP_INVALID)
            return nullptr;
        dumpBits(in, e->bits);
        const uint32_t k = e->op - OP_LITERAL;
        needBits(in, k);
        e = e->next + peekBits(in, k);
    }
    dumpBits(in, e->bits);
    return e;
}

} // namespace

int inflateCodes(const DecodeEntry* literalTable, const DecodeEntry* distanceTable,
                 uint32_t literalBits, uint32_t distanceBits)
{
    BitReader in = loadBits();
    uint32_t pos = inflateState.windowPos;
    uint8_t* const window = inflateState.window;

    for (;;) {
        if (in.end - in.cursor >= std::ptrdiff_t(fastInputBytes) && pos < fastWindowLimit) {
            FastResult r = decodeFast(in, pos, literalTable, distanceTable, literalBits, distanceBits);
            if (r == fastInvalid)
                return 1;
            if (r == fastEndOfBlock)
                break;
            // Out of input or window room: the careful loop takes at least one symbol.
        }

        const DecodeEntry* e = decodeSymbol(in, literalTable, literalBits);
        if (!e)
            return 1;

        if (e->op == OP_LITERAL) {
            if (pastEnd(in))
                return 1;
            window[pos++] = uint8_t(e->value);
            if (pos == windowSize) {
                if (flushWindow(windowSize) != 0)
                    return 1;
                pos = 0;
            }
            continue;
        }
        if (e->op == OP_END_OF_BLOCK) {
            if (pastEnd(in))
                return 1;
            break;
        }

        uint32_t extra = e->op;
        needBits(in, extra);
        uint32_t length = e->value + peekBits(in, extra);
        dumpBits(in, extra);

        e = decodeSymbol(in, distanceTable, distanceBits);
        if (!e)
            return 1;
        extra = e->op;
        needBits(in, extra);
        uint32_t distance = e->value + peekBits(in, extra);
        dumpBits(in, extra);

        if (pastEnd(in))
            return 1;
        pos = copyMatch(pos, distance, length);
        if (pos == copyFailed)
            return 1;
    }

    storeBits(in);
    inflateState.windowPos = pos;
    return 0;
}
