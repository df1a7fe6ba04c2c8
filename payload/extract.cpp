// Extraction of one payload entry: a one-file ZIP archive read through its local
// file header only (the central directory after the data is never needed).
//
// Every read is bounded by the resource's real size, and the header is checked
// before the target file is created, so a damaged entry fails without touching
// the disk. After writing, the CRC-32 and size of the bytes that reached the
// file are compared with the header's, so a corrupt entry is never reported as
// installed.
#include "extract.h"

#include <string.h>

#include "crc32.h"
#include "inflate_state.h"
#include "install_record.h"
#include "removal.h"
#include "safe_folder.h"
#include "settings.h"

namespace {

// Local file header: fixed part, little-endian fields at these offsets.
constexpr uint32_t localHeaderSize = 30;
constexpr uint32_t methodOffset = 8;            // low byte only: 0 stored, anything else DEFLATE
constexpr uint32_t crcOffset = 14;
constexpr uint32_t uncompressedSizeOffset = 22;
constexpr uint32_t nameLengthOffset = 26;
constexpr uint32_t extraLengthOffset = 28;

constexpr int resultBadEntry = 1;        // header, data or integrity check failed; or no file
constexpr int resultStoredWriteFailed = 2;

uint32_t read16(const uint8_t* bytes)
{
    return bytes[0] | uint32_t(bytes[1]) << 8;
}

uint32_t read32(const uint8_t* bytes)
{
    return read16(bytes) | read16(bytes + 2) << 16;
}

// Copies a stored entry's bytes straight from the resource in one write.
int copyStored(HANDLE file, const uint8_t* data, uint32_t size)
{
    if (writeOutput(file, data, size) != 0)
        return resultStoredWriteFailed;
    inflateState.outputCrc = updateCrc32(0, data, size);
    inflateState.outputSize = size;
    return 0;
}

int decodeDeflate()
{
    int result = inflateStream();
    // The fixed tables are cached per entry and must not outlive it, whatever the result.
    releaseFixedTables();
    return result;
}

} // namespace

int extractPayloadEntry(HRSRC resource)
{
    memset(&inflateState, 0, sizeof inflateState);
    // What the entry's bytes fail is the data's error; a file that cannot be
    // created or written sets the system's own.
    SetLastError(ERROR_INVALID_DATA);

    const uint8_t* base = static_cast<const uint8_t*>(LoadResource(nullptr, resource));
    const uint32_t entrySize = SizeofResource(nullptr, resource);
    if (!base || entrySize < localHeaderSize)
        return resultBadEntry;

    // At most 30 + 2 * 65535: no overflow in 32 bits.
    const uint32_t dataOffset =
        localHeaderSize + read16(base + nameLengthOffset) + read16(base + extraLengthOffset);
    if (dataOffset > entrySize)
        return resultBadEntry;

    const bool stored = base[methodOffset] == 0;
    const uint32_t expectedSize = read32(base + uncompressedSizeOffset);
    const uint32_t expectedCrc = read32(base + crcOffset);
    if (stored && expectedSize > entrySize - dataOffset)
        return resultBadEntry;

    inflateState.inputCursor = base + dataOffset;
    inflateState.inputEnd = base + entrySize;

    // A new file, never one of the name that is there: the install has set
    // aside every book file, so anything there now is not the book's.
    HANDLE file = createBookFile(installSettings.pagesDestination.path);
    if (file == INVALID_HANDLE_VALUE)
        return resultBadEntry;
    inflateState.outputFile = file;

    int result = stored ? copyStored(file, inflateState.inputCursor, expectedSize) : decodeDeflate();
    inflateState.outputFile = nullptr;

    if (result == 0 && (inflateState.outputCrc != expectedCrc || inflateState.outputSize != expectedSize)) {
        SetLastError(ERROR_INVALID_DATA);
        result = resultBadEntry;
    }
    // A whole file goes to disk; a damaged one is only closed, for the rollback to delete.
    if (result != 0)
        CloseHandle(file);
    else if (!closeWrittenFile(file))
        result = resultBadEntry;
    return result;
}

// The installer knows the book's files by the headers of its payload entries.
bool bookFileSignature(int resource, BookFileSignature& signature)
{
    char name[16];
    wsprintfA(name, "#%d", resource);
    HRSRC entry = FindResourceA(nullptr, name, name);
    const uint8_t* base = entry ? static_cast<const uint8_t*>(LoadResource(nullptr, entry)) : nullptr;
    if (!base || SizeofResource(nullptr, entry) < localHeaderSize)
        return false;
    signature.size = read32(base + uncompressedSizeOffset);
    signature.crc = read32(base + crcOffset);
    return true;
}
