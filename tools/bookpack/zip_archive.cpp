// One-file ZIP archives.
//
// Layout: local file header (30 bytes) + name + data, then one central
// directory header (46 bytes) + name, then the end record (22 bytes). The
// installer reads only the local header; the central directory and end record
// make the archive whole for ordinary ZIP tools, and they also give the
// installer's bit reader the bytes it may fetch past the end of the stream.
#include "zip_archive.h"

#include "little_endian.h"

#include <libdeflate.h>
#include <zlib.h>

namespace {

constexpr uint32_t localHeaderSignature = 0x04034B50;
constexpr uint32_t centralHeaderSignature = 0x02014B50;
constexpr uint32_t endRecordSignature = 0x06054B50;
constexpr uint16_t versionNeeded = 20;       // 2.0: DEFLATE
constexpr uint16_t versionMadeBy = 20;       // high byte 0: MS-DOS attributes
constexpr uint16_t generalFlags = 0;
// Fixed modification stamp, 2000-01-01 00:00, so equal input packs to equal bytes.
constexpr uint16_t dosTime = 0;
constexpr uint16_t dosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;
constexpr uint32_t archiveAttribute = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
constexpr int deflateLevel = 12;             // libdeflate's highest
constexpr size_t localHeaderSize = 30;

void put16(Bytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(Bytes& out, uint32_t value)
{
    put16(out, static_cast<uint16_t>(value));
    put16(out, static_cast<uint16_t>(value >> 16));
}

bool deflateRaw(const Bytes& data, Bytes& compressed, std::string& error)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(deflateLevel);
    if (!compressor) {
        error = "cannot set up the DEFLATE compressor";
        return false;
    }
    compressed.resize(libdeflate_deflate_compress_bound(compressor, data.size()));
    const size_t size =
        libdeflate_deflate_compress(compressor, data.data(), data.size(), compressed.data(), compressed.size());
    libdeflate_free_compressor(compressor);
    if (size == 0) {
        error = "DEFLATE compression failed";
        return false;
    }
    compressed.resize(size);
    return true;
}

// The fields the local header and the central directory record share, from
// "version needed" to the extra field's length.
struct EntryFields {
    ZipMethod method;
    uint32_t crc;
    uint32_t packedSize;
    uint32_t plainSize;
    uint16_t nameLength;
};

void putEntryFields(Bytes& archive, const EntryFields& fields)
{
    put16(archive, versionNeeded);
    put16(archive, generalFlags);
    put16(archive, static_cast<uint16_t>(fields.method));
    put16(archive, dosTime);
    put16(archive, dosDate);
    put32(archive, fields.crc);
    put32(archive, fields.packedSize);
    put32(archive, fields.plainSize);
    put16(archive, fields.nameLength);
    put16(archive, 0);   // extra field length
}

}  // namespace

bool makeZipArchive(const std::string& name, const Bytes& data, ZipMethod method, Bytes& archive,
                    std::string& error)
{
    if (name.size() > UINT16_MAX) {
        error = "has a name longer than a ZIP header can hold";
        return false;
    }
    if (data.size() > maxArchivedSize) {
        error = "is larger than a ZIP archive without 64-bit extensions can hold";
        return false;
    }
    Bytes packed;
    if (method == ZipMethod::deflated) {
        if (!deflateRaw(data, packed, error))
            return false;
    } else {
        packed = data;
    }
    if (packed.size() > maxArchivedSize) {
        error = "compresses to more than a ZIP archive without 64-bit extensions can hold";
        return false;
    }
    const uint32_t crc = static_cast<uint32_t>(
        crc32_z(crc32(0, nullptr, 0), data.empty() ? nullptr : data.data(), data.size()));
    const EntryFields fields{method, crc, static_cast<uint32_t>(packed.size()),
                             static_cast<uint32_t>(data.size()), static_cast<uint16_t>(name.size())};

    archive.clear();
    archive.reserve(localHeaderSize + 2 * name.size() + packed.size() + 46 + 22);
    put32(archive, localHeaderSignature);
    putEntryFields(archive, fields);
    archive.insert(archive.end(), name.begin(), name.end());
    archive.insert(archive.end(), packed.begin(), packed.end());

    const uint32_t centralOffset = static_cast<uint32_t>(archive.size());
    put32(archive, centralHeaderSignature);
    put16(archive, versionMadeBy);
    putEntryFields(archive, fields);
    put16(archive, 0);   // comment length
    put16(archive, 0);   // disk number
    put16(archive, 0);   // internal attributes
    put32(archive, archiveAttribute);
    put32(archive, 0);   // offset of the local header
    archive.insert(archive.end(), name.begin(), name.end());
    const uint32_t centralSize = static_cast<uint32_t>(archive.size()) - centralOffset;

    put32(archive, endRecordSignature);
    put16(archive, 0);   // this disk
    put16(archive, 0);   // disk of the central directory
    put16(archive, 1);   // entries on this disk
    put16(archive, 1);   // entries in total
    put32(archive, centralSize);
    put32(archive, centralOffset);
    put16(archive, 0);   // comment length
    return true;
}

bool readZipPayloadView(const Bytes& archive, ZipPayloadView& view)
{
    if (archive.size() < localHeaderSize)
        return false;
    const uint8_t* base = archive.data();
    view.methodLow = base[8];
    view.crc32 = get32(base + 14);
    view.compressedSize = get32(base + 18);
    view.uncompressedSize = get32(base + 22);
    view.dataOffset = localHeaderSize + get16(base + 26) + get16(base + 28);
    return view.dataOffset <= archive.size() && view.compressedSize <= archive.size() - view.dataOffset;
}
