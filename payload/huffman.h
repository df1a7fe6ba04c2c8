// Multi-level lookup tables for the Huffman codes of a DEFLATE stream.
//
// A table is indexed by the next `width` input bits (first bit in bit 0). Every
// index whose low bits equal a code holds a copy of that code's entry, so one
// lookup resolves any code no longer than the table's width; longer codes go on
// through link entries into sub-tables.
#pragma once

#include <cstdint>

#include "inflate_state.h"

// What an entry means, by its op:
//   0..13        a symbol with that many extra bits; value is its base
//   OP_END_OF_BLOCK   a simple symbol of 256 or more (the end of block)
//   OP_LITERAL        a simple symbol below 256 (a byte, or a code-length symbol)
//   17..32       a link: next points at a sub-table indexed by op - 16 bits
//   OP_INVALID        the bit pattern is no code of the set, or a symbol that
//                     must never be decoded (extra-bits entry 99)
constexpr uint8_t OP_END_OF_BLOCK = 15;
constexpr uint8_t OP_LITERAL = 16;
constexpr uint8_t OP_INVALID = 99;

struct DecodeEntry {
    uint8_t op;     // see above
    uint8_t bits;   // bits to consume: the code's length below the tables above
                    // this one, or, in a link, the width of the linking table
    union {
        uint16_t value;      // the symbol, or the base length/distance
        DecodeEntry* next;   // link: first entry of the sub-table
    };
};

constexpr uint32_t maxCodeLength = 16;   // lengths are counted up to 16; callers pass at most 15
constexpr uint32_t maxSymbols = 288;     // the literal/length alphabet, the largest

// Builds the table for `count` code lengths (one per symbol, 0: no code).
// Symbols below simpleCount decode as themselves (OP_LITERAL below 256,
// OP_END_OF_BLOCK from 256 on); a symbol s from simpleCount on decodes with
// value baseValues[s - simpleCount] and op = the low byte of extraBits[s - simpleCount].
// `width` is the requested first-level width on entry and the actual one on
// return (0 when no symbol has a code).
// Results:
//   0 complete (also: no code at all -> table null; a single code of length 1)
//   1 incomplete: built, the missing patterns are OP_INVALID; the caller frees it
//   2 over-subscribed: nothing allocated, table untouched
//   3 a table block could not be allocated: nothing remains allocated
int buildHuffmanTable(const uint32_t* lengths, uint32_t count, uint32_t simpleCount,
                      const uint16_t* baseValues, const uint16_t* extraBits,
                      HuffmanTable& table, uint32_t& width);

// Frees every block of the code set whose first-level table is `table`. Null does nothing.
void freeHuffmanTable(HuffmanTable table);
