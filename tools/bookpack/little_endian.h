// Little-endian fields in byte buffers, as ZIP archives and PE images store them.
#pragma once

#include <cstdint>

inline uint16_t get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t get32(const uint8_t* p)
{
    return get16(p) | (static_cast<uint32_t>(get16(p + 2)) << 16);
}

inline void set32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}
