// One libFuzzer target for each picture reader, chosen when it is built (LUMAVEX_FUZZ_READER):
// any bytes must give a picture or an Error, never a crash, a leak or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/gif_read.h"
#include "formats/ico.h"
#include "formats/jpeg.h"
#include "formats/png_codec.h"
#include "formats/tiff.h"
#include "formats/webp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    try {
        const lumavex::Raster picture = LUMAVEX_FUZZ_READER(bytes);
        if (picture.width() <= 0 || picture.height() <= 0)
            __builtin_trap();  // a reader's picture is never empty
    } catch (const lumavex::Error&) {
    }
    return 0;
}
