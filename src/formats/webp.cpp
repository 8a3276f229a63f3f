#include "webp.h"

#include <memory>
#include <string>
#include <vector>

#include <webp/decode.h>
#include <webp/encode.h>

#include "core/error.h"
#include "formats/over_white.h"

namespace lumavex {

namespace {

[[noreturn]] void corrupt(const std::string& why)
{
    throw Error(ErrorKind::Format, "WebP ファイルが壊れています (" + why + ")");
}

constexpr int kWebPMaxSide = 16383;

}  // namespace

Raster ReadWebP(std::span<const uint8_t> data)
{
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(data.data(), data.size(), &features);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA)
        corrupt("data ends too early");
    if (status != VP8_STATUS_OK)
        corrupt("not a WebP bitstream");
    if (features.width <= 0 || features.height <= 0)
        corrupt("no picture");
    checkRasterSize(features.width, features.height);

    Raster picture = Raster::unfilled(features.width, features.height);
    if (!features.has_alpha) {
        // Straight into the picture's rows: the decoder takes our stride.
        if (!WebPDecodeBGRInto(data.data(), data.size(), picture.bits(),
                               picture.stride() * static_cast<size_t>(picture.height()),
                               static_cast<int>(picture.stride())))
            corrupt("the picture data cannot be decoded");
        return picture;
    }

    // With alpha, decode to BGRA and lay it over white. WebP holds at most 16383 pixels a side,
    // so that buffer and the picture stay within 2 GiB together.
    int width = 0, height = 0;
    std::unique_ptr<uint8_t, decltype(&WebPFree)> bgra(
        WebPDecodeBGRA(data.data(), data.size(), &width, &height), &WebPFree);
    if (!bgra || width != picture.width() || height != picture.height())
        corrupt("the picture data cannot be decoded");
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* from = bgra.get() + static_cast<size_t>(y) * stride;
        uint8_t* to = picture.row(y);
        for (int x = 0; x < picture.width(); ++x, from += 4, to += 3) {
            const unsigned a = from[3];
            to[0] = overWhite(from[0], a);
            to[1] = overWhite(from[1], a);
            to[2] = overWhite(from[2], a);
        }
    }
    return picture;
}

void WriteWebP(OutputStream& out, const Raster& picture, int quality, bool lossless)
{
    if (quality < 1 || quality > 100)
        throw Error(ErrorKind::BadArgument,
                    "WebP の品質は 1 から 100 までです (" + std::to_string(quality) + ")");
    if (picture.width() > kWebPMaxSide || picture.height() > kWebPMaxSide)
        throw Error(ErrorKind::TooLarge, "WebP に保存できる画像は一辺 16383 ピクセルまでです");
    uint8_t* encoded = nullptr;
    const int stride = static_cast<int>(picture.stride());
    const size_t size = lossless ? WebPEncodeLosslessBGR(picture.bits(), picture.width(),
                                                         picture.height(), stride, &encoded)
                                 : WebPEncodeBGR(picture.bits(), picture.width(), picture.height(),
                                                 stride, static_cast<float>(quality), &encoded);
    std::unique_ptr<uint8_t, decltype(&WebPFree)> owned(encoded, &WebPFree);
    if (size == 0)
        throw Error(ErrorKind::TooLarge, "WebP: 画像を符号化できません");
    out.write(owned.get(), size);
}

}  // namespace lumavex
