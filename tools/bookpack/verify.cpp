// Verification of packed entries with the installer's own decoder.
#include "verify.h"

#include "host_decoder.h"
#include "zip_archive.h"

#include <zlib.h>

namespace {

uint32_t crcOf(const Bytes& data)
{
    return static_cast<uint32_t>(crc32_z(crc32(0, nullptr, 0), data.empty() ? nullptr : data.data(), data.size()));
}

}  // namespace

bool verifyPackedEntry(const Bytes& archive, const Bytes& source, std::string& error)
{
    ZipPayloadView view;
    if (!readZipPayloadView(archive, view)) {
        error = "the archive's local header does not describe its data";
        return false;
    }
    if (view.uncompressedSize != source.size() || view.crc32 != crcOf(source)) {
        error = "the archive's header does not carry the source's size and CRC-32";
        return false;
    }
    const uint8_t* data = archive.data() + view.dataOffset;
    Bytes decoded;
    if (view.methodLow == 0) {
        if (view.compressedSize != view.uncompressedSize) {
            error = "the stored entry's two sizes differ";
            return false;
        }
        decoded.assign(data, data + view.uncompressedSize);
    } else {
        // Bounded by the compressed size, not the archive's end: the stream
        // must be complete by itself, without borrowing the central directory.
        const int result = decodeRawDeflate(data, view.compressedSize, decoded);
        if (result != 0) {
            error = "the installer's decoder rejects the entry (result " + std::to_string(result) + ")";
            return false;
        }
    }
    if (decoded != source) {
        error = "the installer's decoder yields " + std::to_string(decoded.size()) +
                " bytes that differ from the " + std::to_string(source.size()) + " source bytes";
        return false;
    }
    return true;
}
