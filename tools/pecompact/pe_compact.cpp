// Header compaction of a linked PE image.
#include "pe_compact.h"

#include "little_endian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t dosHeaderBytes = 64;
constexpr size_t lfanewOffset = 0x3c;
constexpr size_t signatureBytes = 4;
constexpr size_t fileHeaderBytes = 20;
constexpr size_t sectionHeaderBytes = 40;

// Offsets within the file header and the optional header (the same for PE32 and PE32+).
constexpr size_t sectionCountOffset = 2;
constexpr size_t symbolTableOffset = 8;
constexpr size_t optionalSizeOffset = 16;
constexpr size_t fileAlignmentOffset = 36;
constexpr size_t sizeOfHeadersOffset = 60;
constexpr size_t checksumOffset = 64;
// Offsets within a section header.
constexpr size_t rawSizeOffset = 16;
constexpr size_t rawPointerOffset = 20;

constexpr uint16_t pe32Magic = 0x10b;
constexpr uint16_t pe32PlusMagic = 0x20b;
// Where the data directories start; the count of them is the field before.
constexpr size_t pe32DirectoriesOffset = 96;
constexpr size_t pe32PlusDirectoriesOffset = 112;
// Data directories that hold file offsets, by index.
constexpr unsigned securityDirectory = 4;
constexpr unsigned debugDirectory = 6;

// The image checksum: the one's-complement style sum of the file's 16-bit
// words, the checksum field itself counted as zero, plus the file's length.
uint32_t imageChecksum(const std::vector<uint8_t>& b, size_t checksumAt)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < b.size(); i += 2) {
        if (i == checksumAt || i == checksumAt + 2)
            continue;
        sum += b[i] | (i + 1 < b.size() ? b[i + 1] << 8 : 0);
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    return uint32_t(sum + b.size());
}

bool refuse(std::string& error, const char* why)
{
    error = why;
    return false;
}

}  // namespace

bool compactPeHeaders(std::vector<uint8_t>& image, std::string& error)
{
    if (image.size() < dosHeaderBytes || image[0] != 'M' || image[1] != 'Z')
        return refuse(error, "not a PE image: no MZ header");
    const size_t peOffset = get32(&image[lfanewOffset]);
    if (peOffset < dosHeaderBytes || peOffset > image.size() - signatureBytes - fileHeaderBytes
        || std::memcmp(&image[peOffset], "PE\0\0", signatureBytes) != 0)
        return refuse(error, "not a PE image: no PE signature where the DOS header points");

    const size_t fileHeader = peOffset + signatureBytes;
    const size_t optionalHeader = fileHeader + fileHeaderBytes;
    const size_t optionalSize = get16(&image[fileHeader + optionalSizeOffset]);
    const size_t sectionCount = get16(&image[fileHeader + sectionCountOffset]);
    const size_t sectionTable = optionalHeader + optionalSize;
    const size_t headersEnd = sectionTable + sectionCount * sectionHeaderBytes;
    if (optionalSize < checksumOffset + 4 || headersEnd > image.size())
        return refuse(error, "truncated PE headers");

    const uint16_t magic = get16(&image[optionalHeader]);
    if (magic != pe32Magic && magic != pe32PlusMagic)
        return refuse(error, "unknown optional header");
    const size_t directories = optionalHeader + (magic == pe32Magic ? pe32DirectoriesOffset : pe32PlusDirectoriesOffset);
    const size_t directoryCount = directories <= sectionTable ? get32(&image[directories - 4]) : 0;
    auto directoryUsed = [&](unsigned index) {
        const size_t entry = directories + 8 * size_t(index);
        return index < directoryCount && entry + 8 <= sectionTable
               && (get32(&image[entry]) != 0 || get32(&image[entry + 4]) != 0);
    };
    if (get32(&image[fileHeader + symbolTableOffset]) != 0)
        return refuse(error, "has a COFF symbol table (strip the image first)");
    if (directoryUsed(securityDirectory))
        return refuse(error, "is signed: the signature covers the headers");
    if (directoryUsed(debugDirectory))
        return refuse(error, "has a debug directory, which records file offsets");
    const bool checksummed = get32(&image[optionalHeader + checksumOffset]) != 0;

    const uint32_t fileAlignment = get32(&image[optionalHeader + fileAlignmentOffset]);
    const uint32_t sizeOfHeaders = get32(&image[optionalHeader + sizeOfHeadersOffset]);
    if (fileAlignment == 0 || (fileAlignment & (fileAlignment - 1)) != 0 || sizeOfHeaders % fileAlignment != 0
        || sizeOfHeaders < headersEnd || sizeOfHeaders > image.size())
        return refuse(error, "inconsistent SizeOfHeaders or FileAlignment");
    if (std::any_of(image.begin() + headersEnd, image.begin() + sizeOfHeaders, [](uint8_t b) { return b != 0; }))
        return refuse(error, "holds data between its headers and its first section");

    const size_t newHeadersEnd = dosHeaderBytes + (headersEnd - peOffset);
    const size_t newSizeOfHeaders = (newHeadersEnd + fileAlignment - 1) / fileAlignment * fileAlignment;
    if (newSizeOfHeaders >= sizeOfHeaders)
        return true;  // nothing to gain: the headers keep their blocks
    const uint32_t saved = uint32_t(sizeOfHeaders - newSizeOfHeaders);

    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t header = sectionTable + i * sectionHeaderBytes;
        const uint32_t rawSize = get32(&image[header + rawSizeOffset]);
        const uint32_t rawPointer = get32(&image[header + rawPointerOffset]);
        if (rawPointer == 0)
            continue;  // no file data, whatever the size says (the linker gives Shared one)
        if (rawPointer < sizeOfHeaders || rawPointer > image.size() || rawSize > image.size() - rawPointer)
            return refuse(error, "a section's file data lies outside the file or inside the headers");
    }

    std::vector<uint8_t> out(image.begin(), image.begin() + dosHeaderBytes);
    out.insert(out.end(), image.begin() + peOffset, image.begin() + headersEnd);
    out.resize(newSizeOfHeaders, 0);
    out.insert(out.end(), image.begin() + sizeOfHeaders, image.end());

    set32(&out[lfanewOffset], dosHeaderBytes);
    const size_t movedOptional = optionalHeader - peOffset + dosHeaderBytes;
    set32(&out[movedOptional + sizeOfHeadersOffset], uint32_t(newSizeOfHeaders));
    const size_t movedSections = sectionTable - peOffset + dosHeaderBytes;
    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t header = movedSections + i * sectionHeaderBytes;
        const uint32_t rawPointer = get32(&out[header + rawPointerOffset]);
        if (rawPointer != 0)
            set32(&out[header + rawPointerOffset], rawPointer - saved);
    }
    if (checksummed)
        set32(&out[movedOptional + checksumOffset], imageChecksum(out, movedOptional + checksumOffset));
    image.swap(out);
    return true;
}
