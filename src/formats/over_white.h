#pragma once

#include <cstdint>

namespace lumavex {

/// A channel c with alpha a (0 transparent .. 255 opaque) laid over white, rounded to nearest:
/// (c a + 255 (255 - a)) / 255. The quotient is never exactly half way, so +127 rounds it.
constexpr uint8_t overWhite(unsigned c, unsigned a)
{
    return static_cast<uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

/// The same for 16-bit channel and alpha (0 .. 65535), rounded to the nearest 8-bit value:
/// (c a + 65535 (65535 - a)) / 65535 scaled by 255 / 65535.
constexpr uint8_t overWhite16(uint32_t c, uint32_t a)
{
    constexpr uint64_t whole = uint64_t{65535} * 65535;
    const uint64_t mixed = uint64_t{c} * a + uint64_t{65535} * (65535 - a);
    return static_cast<uint8_t>((mixed * 255 + whole / 2) / whole);
}

/// A 16-bit channel scaled to 8 bits, rounded to nearest.
constexpr uint8_t scale16To8(uint32_t c)
{
    return static_cast<uint8_t>((c * 255 + 32767) / 65535);
}

}  // namespace lumavex
