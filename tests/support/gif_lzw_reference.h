#pragma once

#include <cstdint>

#include "formats/gif_lzw.h"
#include "formats/stream.h"

namespace lumavex::test {

/// The hash-probing LZW coder that GIFLZWEncode replaced, kept to compare bytes against: the
/// same contract, bits 1..8 only.
void referenceLZWEncode(OutputStream& stream, int height, int width, bool interlaced,
                        const uint8_t* indices, int bits);

}  // namespace lumavex::test
