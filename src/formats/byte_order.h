#pragma once
// Multi-byte fields of file formats, read from and written to byte buffers.

#include <cstdint>

namespace lumavex {

/// The 16-bit little-endian value at p.
inline uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

/// The 32-bit little-endian value at p.
inline uint32_t le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}

/// The 16-bit big-endian value at p.
inline uint16_t be16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

/// The 32-bit big-endian value at p.
inline uint32_t be32(const uint8_t* p)
{
    return uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

/// Stores the low 16 bits of v at p, little-endian.
inline void putLE16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace lumavex
