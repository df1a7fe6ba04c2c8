// pecompact's header move on images built here field by field: the headers
// land right after the DOS header, every section's file data moves down with
// its pointer and stays byte for byte the same, and anything it cannot move
// safely is refused with the image left as it was.
#include "pe_compact.h"

#include "little_endian.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t fileBlock = 0x200;
constexpr uint32_t linkerPeOffset = 0x80;   // where the linker puts the PE header
constexpr uint32_t compactPeOffset = 0x40;  // right after the DOS header

void put16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v)
{
    set32(&b[at], v);
}

uint32_t get32(const Bytes& b, size_t at)
{
    return ::get32(&b[at]);
}

// The shape of a test image. Every section with file data gets one block of
// its own byte value; `dataless` adds a section without file data (like .bss)
// after the first one, counted in `sections`.
struct ImageShape {
    unsigned sections = 5;
    bool pe32Plus = false;
    bool dataless = true;
    uint32_t peOffset = linkerPeOffset;
    uint32_t sizeOfHeaders = 2 * fileBlock;
};

struct Layout {
    size_t fileHeader, optionalHeader, sectionTable;
};

Layout layoutOf(const Bytes& image)
{
    const size_t pe = get32(image, 0x3c);
    const size_t optionalSize = image[pe + 20] | image[pe + 21] << 8;
    return {pe + 4, pe + 24, pe + 24 + optionalSize};
}

Bytes makeImage(const ImageShape& shape)
{
    const uint32_t optionalSize = shape.pe32Plus ? 240 : 224;
    Bytes image(shape.sizeOfHeaders, 0);
    image[0] = 'M';
    image[1] = 'Z';
    // The DOS program between the two headers: never zeros, so a test sees
    // whether it was dropped.
    for (size_t i = 0x40; i < shape.peOffset; ++i)
        image[i] = 0xcc;
    put32(image, 0x3c, shape.peOffset);
    std::memcpy(&image[shape.peOffset], "PE\0\0", 4);
    const size_t fileHeader = shape.peOffset + 4;
    put16(image, fileHeader, shape.pe32Plus ? 0x8664 : 0x14c);
    put16(image, fileHeader + 2, shape.sections);
    put16(image, fileHeader + 16, optionalSize);
    const size_t optional = fileHeader + 20;
    put16(image, optional, shape.pe32Plus ? 0x20b : 0x10b);
    put32(image, optional + 32, 0x1000);        // SectionAlignment
    put32(image, optional + 36, fileBlock);     // FileAlignment
    put32(image, optional + 60, shape.sizeOfHeaders);
    put32(image, optional + (shape.pe32Plus ? 108 : 92), 16);   // NumberOfRvaAndSizes
    const size_t table = optional + optionalSize;
    for (unsigned i = 0; i < shape.sections; ++i) {
        const size_t header = table + 40 * i;
        image[header] = '.';
        image[header + 1] = char('a' + i);
        put32(image, header + 8, 0x100);               // VirtualSize
        put32(image, header + 12, 0x1000 * (i + 1));   // VirtualAddress
        if (shape.dataless && i == 1)
            continue;
        put32(image, header + 16, fileBlock);
        put32(image, header + 20, uint32_t(image.size()));
        image.resize(image.size() + fileBlock, uint8_t(0x10 + i));
    }
    return image;
}

// The file data of every section, in table order (empty for a dataless one).
std::vector<Bytes> sectionData(const Bytes& image)
{
    const Layout at = layoutOf(image);
    const unsigned count = image[at.fileHeader + 2];
    std::vector<Bytes> data;
    for (unsigned i = 0; i < count; ++i) {
        const size_t header = at.sectionTable + 40 * i;
        const uint32_t size = get32(image, header + 16), pointer = get32(image, header + 20);
        data.push_back(pointer ? Bytes(image.begin() + pointer, image.begin() + pointer + size) : Bytes());
    }
    return data;
}

// The PE headers with the fields the move may change blanked out.
Bytes headersWithoutMovedFields(const Bytes& image)
{
    const Layout at = layoutOf(image);
    const unsigned count = image[at.fileHeader + 2];
    Bytes headers(image.begin() + at.fileHeader - 4, image.begin() + at.sectionTable + 40 * count);
    const size_t base = at.fileHeader - 4;
    put32(headers, at.optionalHeader + 60 - base, 0);
    for (unsigned i = 0; i < count; ++i)
        put32(headers, at.sectionTable + 40 * i + 20 - base, 0);
    return headers;
}

struct MoveCase {
    const char* label;
    ImageShape shape;
    size_t saved;   // bytes the file loses; 0: left untouched
};

TEST(PeCompact, headersMoveOverTheDosStubWhenThatSavesAFileBlock)
{
    const MoveCase cases[] = {
        {"five sections, as the programs have", {}, fileBlock},
        {"three sections", {3}, fileBlock},
        {"five sections without a dataless one", {5, false, false}, fileBlock},
        {"six sections still need two blocks", {6}, 0},
        {"PE32+ with four sections", {4, true}, fileBlock},
        {"PE32+ with five sections still needs two blocks", {5, true}, 0},
        {"already compact", {5, false, true, compactPeOffset, fileBlock}, 0},
        {"headers padded to three blocks", {5, false, true, linkerPeOffset, 3 * fileBlock}, 2 * fileBlock},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.label);
        const Bytes before = makeImage(c.shape);
        Bytes image = before;
        std::string error;
        ASSERT_TRUE(compactPeHeaders(image, error)) << error;
        ASSERT_EQ(image.size(), before.size() - c.saved);
        if (c.saved == 0) {
            EXPECT_EQ(image, before);
            continue;
        }
        EXPECT_EQ(get32(image, 0x3c), compactPeOffset);
        EXPECT_EQ(Bytes(image.begin(), image.begin() + 0x3c), Bytes(before.begin(), before.begin() + 0x3c));
        const Layout at = layoutOf(image);
        EXPECT_EQ(get32(image, at.optionalHeader + 60), get32(before, layoutOf(before).optionalHeader + 60) - c.saved);
        EXPECT_EQ(headersWithoutMovedFields(image), headersWithoutMovedFields(before));
        EXPECT_EQ(sectionData(image), sectionData(before));
        // Nothing of the DOS program is left between the headers and the first section.
        const size_t headersEnd = at.sectionTable + 40 * c.shape.sections;
        for (size_t i = headersEnd; i < get32(image, at.optionalHeader + 60); ++i) {
            ASSERT_EQ(image[i], 0) << "at " << i;
        }
        // A dataless section keeps its null pointer.
        if (c.shape.dataless) {
            EXPECT_EQ(get32(image, at.sectionTable + 40 + 20), 0u);
        }
    }
}

struct RefusalCase {
    const char* label;
    std::function<void(Bytes&)> damage;
    const char* reason;   // a part of the message
};

TEST(PeCompact, refusesWhatItCannotMoveAndLeavesTheImageAsItWas)
{
    auto optional = [](const Bytes& b) { return layoutOf(b).optionalHeader; };
    auto section = [](const Bytes& b, unsigned i) { return layoutOf(b).sectionTable + 40 * i; };
    const RefusalCase cases[] = {
        {"no MZ", [](Bytes& b) { b[0] = 'X'; }, "no MZ"},
        {"shorter than a DOS header", [](Bytes& b) { b.resize(40); }, "no MZ"},
        {"PE offset past the end", [](Bytes& b) { put32(b, 0x3c, uint32_t(b.size())); }, "no PE signature"},
        {"PE offset inside the DOS header", [](Bytes& b) { put32(b, 0x3c, 0x10); }, "no PE signature"},
        {"wrong signature", [](Bytes& b) { b[linkerPeOffset + 1] = 'X'; }, "no PE signature"},
        {"section table cut off", [](Bytes& b) { b.resize(linkerPeOffset + 24 + 224 + 40); }, "truncated"},
        {"too many sections for the file", [](Bytes& b) { put16(b, linkerPeOffset + 6, 0xffff); }, "truncated"},
        {"unknown optional header", [&](Bytes& b) { put16(b, optional(b), 0x107); }, "optional header"},
        {"SizeOfHeaders off the file blocks", [&](Bytes& b) { put32(b, optional(b) + 60, 0x3f0); }, "SizeOfHeaders"},
        {"SizeOfHeaders inside the section table", [&](Bytes& b) { put32(b, optional(b) + 60, fileBlock); },
         "SizeOfHeaders"},
        {"FileAlignment not a power of two", [&](Bytes& b) { put32(b, optional(b) + 36, 0x300); }, "FileAlignment"},
        {"data behind the headers", [](Bytes& b) { b[0x3f0] = 1; }, "between its headers"},
        {"section data inside the headers", [&](Bytes& b) { put32(b, section(b, 0) + 20, 0x200); }, "outside the file"},
        {"section data past the end", [&](Bytes& b) { put32(b, section(b, 4) + 16, 0x400); }, "outside the file"},
        {"section starting past the end", [&](Bytes& b) { put32(b, section(b, 4) + 20, 0x10000); },
         "outside the file"},
        {"COFF symbol table", [](Bytes& b) { put32(b, linkerPeOffset + 4 + 8, 0x1200); }, "symbol table"},
        {"signature", [&](Bytes& b) { put32(b, optional(b) + 96 + 4 * 8, 0x1800); }, "signed"},
        {"debug directory", [&](Bytes& b) { put32(b, optional(b) + 96 + 6 * 8 + 4, 28); }, "debug directory"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes image = makeImage({});
        c.damage(image);
        const Bytes before = image;
        std::string error;
        EXPECT_FALSE(compactPeHeaders(image, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(image, before);
    }
}

}  // namespace
