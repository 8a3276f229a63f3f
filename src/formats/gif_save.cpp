#include "gif_save.h"

#include "formats/gif_writer.h"

namespace lumavex {

void savePictureGif(const Raster& picture, OutputStream& out, const SaveOptions& options)
{
    TIOParams params;
    params.BitsPerPixel = options.gifBitsPerPixel;
    params.Interlaced = options.gifInterlaced ? 1 : 0;
    params.Compressor = options.gifCompressor;
    WriteGIFStream(out, picture, params);
}

}  // namespace lumavex
