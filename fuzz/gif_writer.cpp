// The GIF writer: a small picture and bit depth from the input; giflib must decode the output
// to the indices the writer handed its compressor.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <gif_lib.h>

#include "core/raster.h"
#include "formats/gif_lzw.h"
#include "formats/gif_writer.h"
#include "formats/stream.h"

namespace {

std::vector<uint8_t> g_indices;
bool g_interlaced = false;  // what the writer asked its compressor for

void recordingCompressor(lumavex::OutputStream& stream, int height, int width, bool interlaced,
                         const uint8_t* indices, int bits)
{
    g_indices.assign(indices, indices + size_t(width) * height);
    g_interlaced = interlaced;
    lumavex::GIFLZWEncode(stream, height, width, interlaced, indices, bits);
}

struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
};

int readBytes(GifFileType* gif, GifByteType* target, int n)
{
    auto* r = static_cast<Reader*>(gif->UserData);
    const int available = static_cast<int>(std::min<size_t>(n, r->bytes.size() - r->at));
    std::copy_n(r->bytes.data() + r->at, available, target);
    r->at += available;
    return available;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const int w = 1 + data[0] % 48;
    const int h = 1 + data[1] % 48;
    lumavex::TIOParams params;
    params.BitsPerPixel = 1 + data[2] % 8;
    params.Interlaced = data[3] & 1;
    params.Compressor = recordingCompressor;
    lumavex::Raster picture(w, h);
    size_t at = 4;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, at += 3)
            picture.setPixel(x, y,
                             at + 2 < size
                                 ? lumavex::makeColor(data[at], data[at + 1], data[at + 2])
                                 : lumavex::kWhite);
    lumavex::MemoryOutput out;
    lumavex::WriteGIFStream(out, picture, params);

    Reader reader{out.bytes()};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readBytes, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount != 1)
        __builtin_trap();
    const SavedImage& image = gif->SavedImages[0];
    if (image.ImageDesc.Width != w || image.ImageDesc.Height != h ||
        bool(image.ImageDesc.Interlace) != g_interlaced)
        __builtin_trap();
    // giflib puts interlaced rows back in their places, so the indices compare row for row.
    for (size_t i = 0; i < g_indices.size(); ++i)
        if (image.RasterBits[i] != g_indices[i])
            __builtin_trap();
    DGifCloseFile(gif, &error);
    return 0;
}
