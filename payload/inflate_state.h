// The decoder's module-level state and the seams between its parts.
//
// The decoder proper (Huffman tables, block decoding, the output window) is
// platform-free C++: it reaches the platform only through the three hooks at
// the end of this file. The installer supplies them with Win32 calls
// (platform_win32.cpp); host programs supply a stand-in (tools/hostdecoder).
#pragma once

#include <cstdint>

struct DecodeEntry;
using HuffmanTable = DecodeEntry*;   // first entry of a first-level table; null: no codes

constexpr uint32_t windowSize = 32768;   // largest DEFLATE distance

// Zeroed at the start of every extraction.
struct InflateState {
    uint8_t window[windowSize];          // output collected here; also the back-reference history
    uint32_t windowPos;                  // next write position = bytes not yet written (0..32767 between steps)
    uint32_t bitBuffer;                  // fetched, unconsumed input bits; next bit is bit 0
    uint32_t bitCount;                   // valid bits in bitBuffer
    const uint8_t* inputCursor;          // next input byte to fetch
    const uint8_t* inputEnd;             // one past the last byte of the entry's data
    uint32_t overrunBytes;               // zero bytes fed to the bit reader past inputEnd
    void* outputFile;                    // target file handle while an extraction runs
    HuffmanTable fixedLiteralTable;      // cached fixed-code tables; null when not built
    HuffmanTable fixedDistanceTable;
    int fixedLiteralBits;                // first-level widths of the cached tables
    int fixedDistanceBits;
    uint32_t outputCrc;                  // CRC-32 of every byte written so far
    uint32_t outputSize;                 // bytes written so far
};

extern InflateState inflateState;

// Results shared by the decoder and the extraction:
//   0 success
//   1 bad compressed data, a file that cannot be created, or a failed window write
//   2 an over-subscribed set of code lengths, or a failed write of a stored entry
//   3 memory for a decoding table exhausted

// Decodes the raw DEFLATE stream from inputCursor to the end of its final block,
// writing through the window; writes the window's last part itself.
int inflateStream();

// Frees the cached fixed-code tables, if any.
void releaseFixedTables();

// Writes the first count bytes of the window to outputFile in one write, and
// adds them to outputCrc and outputSize. 0 when all count bytes were written, else 1.
int flushWindow(uint32_t count);

// --- Platform hooks ------------------------------------------------------

// Writes count bytes to file in one call; 0 when exactly count bytes were written.
int writeOutput(void* file, const uint8_t* bytes, uint32_t count);

// A table block of the given size, or null when memory is exhausted.
void* allocTableBlock(uint32_t bytes);
void freeTableBlock(void* block);
