// The LZW coder against the hash-probing coder it replaced: the first bytes choose the sides,
// the bit depth and the interlacing, the rest are the indices (also those beyond the palette),
// repeated to fill the picture; both must write the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/gif_lzw.h"
#include "formats/stream.h"
#include "support/gif_lzw_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    const int w = 1 + (data[0] | data[1] << 8) % 2048;
    const int h = 1 + data[2] % 256;
    const int bits = 1 + data[3] % 8;
    const bool interlaced = data[3] & 0x80;
    // Bit 6 keeps the indices within the palette, as the writer's are.
    const uint8_t mask = data[3] & 0x40 ? static_cast<uint8_t>((1 << bits) - 1) : 0xFF;
    std::vector<uint8_t> indices(size_t(w) * h);
    const size_t n = size - 4;
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = data[4 + i % n] & mask;
    lumavex::MemoryOutput fast;
    lumavex::MemoryOutput reference;
    lumavex::GIFLZWEncode(fast, h, w, interlaced, indices.data(), bits);
    lumavex::test::referenceLZWEncode(reference, h, w, interlaced, indices.data(), bits);
    if (fast.bytes() != reference.bytes())
        __builtin_trap();
    return 0;
}
