// CRC-32, slicing by eight bytes at a time.
//
// The tables live in zero-initialised storage and are filled on first use, so
// they cost the executable no file size. Eight tables of 256 entries let the
// loop fold in eight input bytes per step, which keeps the integrity check a
// small fraction of decoding time.
#include "crc32.h"

namespace {

uint32_t crcTable[8][256];   // crcTable[0][0] is 0 until the tables are built
bool crcTableReady;

void buildCrcTable()
{
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; n++)
        for (int t = 1; t < 8; t++)
            crcTable[t][n] = (crcTable[t - 1][n] >> 8) ^ crcTable[0][crcTable[t - 1][n] & 0xFF];
    crcTableReady = true;
}

} // namespace

uint32_t updateCrc32(uint32_t crc, const uint8_t* bytes, uint32_t count)
{
    if (!crcTableReady)
        buildCrcTable();
    crc = ~crc;
    for (; count >= 8; count -= 8, bytes += 8) {
        // Little-endian byte order: the first four bytes fold into the CRC itself.
        uint32_t low = crc ^ (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24);
        crc = crcTable[7][low & 0xFF] ^ crcTable[6][(low >> 8) & 0xFF] ^
              crcTable[5][(low >> 16) & 0xFF] ^ crcTable[4][low >> 24] ^
              crcTable[3][bytes[4]] ^ crcTable[2][bytes[5]] ^
              crcTable[1][bytes[6]] ^ crcTable[0][bytes[7]];
    }
    while (count--)
        crc = crcTable[0][(crc ^ *bytes++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
