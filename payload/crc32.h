// CRC-32 as used by ZIP (reflected polynomial 0xEDB88320).
#pragma once

#include <cstdint>

// Continues a CRC over count more bytes. Start with crc = 0.
uint32_t updateCrc32(uint32_t crc, const uint8_t* bytes, uint32_t count);
