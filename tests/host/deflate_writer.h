// Writing DEFLATE streams bit by bit, for tests that need exact streams.
#pragma once

#include <cstdint>
#include <vector>

struct BitWriter {
    std::vector<uint8_t> bytes;
    uint32_t bitCount = 0;   // bits written into the last byte

    // A field of n bits, least-significant bit first (headers, extra bits).
    void put(uint32_t value, uint32_t n)
    {
        for (uint32_t i = 0; i < n; i++) {
            if (bitCount == 0)
                bytes.push_back(0);
            bytes.back() |= uint8_t(((value >> i) & 1) << bitCount);
            bitCount = (bitCount + 1) & 7;
        }
    }

    // A Huffman code of `length` bits, most-significant bit first.
    void putCode(uint32_t code, uint32_t length)
    {
        for (uint32_t i = length; i-- > 0;)
            put((code >> i) & 1, 1);
    }

    void alignToByte() { bitCount = 0; }
};

// Canonical Huffman codes for the lengths (RFC 1951, 3.2.2); 0 where no code.
inline std::vector<uint32_t> canonicalCodes(const std::vector<uint32_t>& lengths)
{
    uint32_t count[17] = {};
    for (uint32_t l : lengths)
        count[l]++;
    count[0] = 0;
    uint32_t next[17] = {};
    uint32_t code = 0;
    for (uint32_t bits = 1; bits <= 16; bits++) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<uint32_t> codes(lengths.size(), 0);
    for (size_t s = 0; s < lengths.size(); s++)
        if (lengths[s] != 0)
            codes[s] = next[lengths[s]]++;
    return codes;
}

// The fixed literal/length code's lengths.
inline std::vector<uint32_t> fixedLiteralLengths()
{
    std::vector<uint32_t> lengths(288);
    for (uint32_t s = 0; s < 288; s++)
        lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    return lengths;
}

// One item of a dynamic block's code-length sequence: a symbol 0..18 and the
// value of its extra bits (the repeat count minus 3, 3 or 11).
struct CodeLengthItem {
    uint32_t symbol;
    uint32_t extra;
};

// The code-length code these helpers use: complete, with every symbol.
// 16 -> 2 bits, 17 and 18 -> 3 bits, lengths 0..15 -> 5 bits each.
inline std::vector<uint32_t> standardCodeLengthLengths()
{
    std::vector<uint32_t> lengths(19, 5);
    lengths[16] = 2;
    lengths[17] = 3;
    lengths[18] = 3;
    return lengths;
}

// The order in which the code-length code's lengths are sent.
inline const uint32_t* codeLengthOrder()
{
    static const uint32_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    return order;
}

// Writes a dynamic block header: BFINAL, BTYPE 2, HLIT, HDIST, HCLEN, the
// code-length code's lengths (`clLengths` in symbol order, all 19 sent), then
// the items coded with it.
inline void putDynamicHeader(BitWriter& w, bool last, uint32_t nl, uint32_t nd,
                             const std::vector<uint32_t>& clLengths, const std::vector<CodeLengthItem>& items)
{
    w.put(last ? 1 : 0, 1);
    w.put(2, 2);
    w.put(nl - 257, 5);
    w.put(nd - 1, 5);
    w.put(19 - 4, 4);
    for (uint32_t j = 0; j < 19; j++)
        w.put(clLengths[codeLengthOrder()[j]], 3);
    std::vector<uint32_t> clCodes = canonicalCodes(clLengths);
    for (const CodeLengthItem& item : items) {
        w.putCode(clCodes[item.symbol], clLengths[item.symbol]);
        if (item.symbol == 16)
            w.put(item.extra, 2);
        else if (item.symbol == 17)
            w.put(item.extra, 3);
        else if (item.symbol == 18)
            w.put(item.extra, 7);
    }
}

// The items that send these lengths one by one, with no repeat symbols.
inline std::vector<CodeLengthItem> plainItems(const std::vector<uint32_t>& lengths)
{
    std::vector<CodeLengthItem> items;
    for (uint32_t l : lengths)
        items.push_back({l, 0});
    return items;
}

// A dynamic block's codes, for writing symbols after the header.
struct DynamicCodes {
    std::vector<uint32_t> literalLengths;
    std::vector<uint32_t> distanceLengths;
    std::vector<uint32_t> literalCodes;
    std::vector<uint32_t> distanceCodes;

    DynamicCodes(std::vector<uint32_t> literal, std::vector<uint32_t> distance)
        : literalLengths(std::move(literal)), distanceLengths(std::move(distance)),
          literalCodes(canonicalCodes(literalLengths)), distanceCodes(canonicalCodes(distanceLengths))
    {
    }

    // Writes the header with every length sent plainly.
    void putHeader(BitWriter& w, bool last) const
    {
        std::vector<uint32_t> all = literalLengths;
        all.insert(all.end(), distanceLengths.begin(), distanceLengths.end());
        putDynamicHeader(w, last, uint32_t(literalLengths.size()), uint32_t(distanceLengths.size()),
                         standardCodeLengthLengths(), plainItems(all));
    }
    void putLiteral(BitWriter& w, uint32_t symbol) const { w.putCode(literalCodes[symbol], literalLengths[symbol]); }
    void putDistance(BitWriter& w, uint32_t symbol) const
    {
        w.putCode(distanceCodes[symbol], distanceLengths[symbol]);
    }
};
