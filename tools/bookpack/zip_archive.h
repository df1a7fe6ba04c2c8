// One-file ZIP archives laid out exactly as the installer reads them: a local
// header (version 20, flags 0, no extra field), the data, a central directory
// and an end record, with fixed timestamps so the same input gives the same bytes.
#pragma once

#include "files.h"

#include <string>

enum class ZipMethod : uint16_t { stored = 0, deflated = 8 };

// Largest file an archive can hold: sizes and offsets are 32-bit fields.
constexpr uint64_t maxArchivedSize = 0xFFFFFF00u;

// Builds the archive of `data` stored under `name`. Fails (with `error`) only
// when the data is too large for the format or compression fails.
bool makeZipArchive(const std::string& name, const Bytes& data, ZipMethod method, Bytes& archive,
                    std::string& error);

// What the installer takes from an archive's local header.
struct ZipPayloadView {
    uint8_t methodLow;              // low byte of the method: 0 stored, else DEFLATE
    uint32_t crc32;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    size_t dataOffset;              // 30 + name length + extra length
};

// Reads the local header; false when the archive is too short for the header
// or for the data it announces.
bool readZipPayloadView(const Bytes& archive, ZipPayloadView& view);
