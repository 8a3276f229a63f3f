#include "gif_writer.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"
#include "formats/byte_order.h"
#include "quantize/neuquant.h"

namespace lumavex {

namespace {

uint32_t packed(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16;
}

// round((30 red + 59 green + 11 blue) / 100), halves to even.
int luminance(uint32_t bgr)
{
    const int sum = 30 * static_cast<int>(bgr >> 16 & 0xFF) +
                    59 * static_cast<int>(bgr >> 8 & 0xFF) + 11 * static_cast<int>(bgr & 0xFF);
    const int whole = sum / 100;
    const int rest = sum % 100;
    return rest > 50 || (rest == 50 && whole % 2 == 1) ? whole + 1 : whole;
}

// The 1-bit copy of a picture of exactly two colours, as indices: the first colour met is 0,
// the other 1, then all flipped if the other is darker, so that 0 is always the darker one.
// False, with the indices unfinished, for one colour or more than two.
bool twoColourIndices(const Raster& picture, uint8_t* indices)
{
    if (picture.empty())
        return false;
    const uint32_t first = packed(picture.row(0));
    uint32_t second = first;
    bool haveSecond = false;
    uint8_t* out = indices;
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* p = picture.row(y);
        for (int x = 0; x < picture.width(); ++x, p += 3) {
            const uint32_t c = packed(p);
            if (c == first) {
                *out++ = 0;
                continue;
            }
            if (!haveSecond) {
                second = c;
                haveSecond = true;
            } else if (c != second) {
                return false;
            }
            *out++ = 1;
        }
    }
    if (!haveSecond)
        return false;
    if (luminance(second) < luminance(first))
        for (uint8_t* p = indices; p != out; ++p)
            *p ^= 1;
    return true;
}

// The palette entry nearest a colour by a plain scan: Manhattan distance, lowest index on ties.
int plainNearest(const std::vector<uint8_t>& bgrPalette, Color colour)
{
    int best = 0;
    int bestD = 1000;
    for (size_t i = 0; i < bgrPalette.size() / 3; ++i) {
        const uint8_t* e = bgrPalette.data() + 3 * i;
        const int d = std::abs(e[0] - blueOf(colour)) + std::abs(e[1] - greenOf(colour)) +
                      std::abs(e[2] - redOf(colour));
        if (d < bestD) {
            bestD = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

}  // namespace

void checkGifSize(int64_t width, int64_t height)
{
    if (width < 0 || height < 0 || width > 65535 || height > 65535)
        throw Error(ErrorKind::TooLarge,
                    "GIF に書ける画像は 65535 x 65535 までです: " + std::to_string(width) + " x " +
                        std::to_string(height));
}

void WriteGIFStream(OutputStream& stream, const Raster& picture, const TIOParams& params,
                    const GIFProgress& progress)
{
    auto report = [&](int percent) {
        if (progress)
            progress(percent);
    };
    report(0);
    if (params.BitsPerPixel < 1 || params.BitsPerPixel > 8)
        throw Error(ErrorKind::BadArgument, "GIF の色数のビット数は 1 から 8 までです: " +
                                                std::to_string(params.BitsPerPixel));
    if (params.Version.size() < 6)
        throw Error(ErrorKind::BadArgument,
                    "GIF のバージョンは 6 文字です: '" + params.Version + "'");
    const int w = picture.width();
    const int h = picture.height();
    checkGifSize(w, h);

    // Every index is written below, so the buffer starts uninitialised.
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    const std::unique_ptr<uint8_t[]> indices(count ? new uint8_t[count] : nullptr);
    std::vector<uint8_t> palette;  // blue, green, red per entry
    int bits;
    int background;
    int transparent;
    if (params.BitsPerPixel == 1 && twoColourIndices(picture, indices.get())) {
        bits = 1;
        palette = {0, 0, 0, 255, 255, 255};
        background = plainNearest(palette, params.BackgroundColor);
        transparent = plainNearest(palette, params.TransparentColor);
    } else {
        bits = params.BitsPerPixel == 1 ? 8 : params.BitsPerPixel;
        NeurQuant quantiser(1 << bits);
        quantiser.learn(picture, NeurQuantSampleFactor(int64_t{w} * h));
        quantiser.mapIndices(picture, indices.get());
        palette = quantiser.palette();
        auto nearest = [&](Color c) { return quantiser.nearest(blueOf(c), greenOf(c), redOf(c)); };
        background = nearest(params.BackgroundColor);
        transparent = nearest(params.TransparentColor);
    }
    report(30);
    for (size_t i = 0; i + 2 < palette.size(); i += 3)
        std::swap(palette[i], palette[i + 2]);

    uint8_t header[13];
    for (int i = 0; i < 6; ++i)
        header[i] = static_cast<uint8_t>(params.Version[i]);
    putLE16(header + 6, w);
    putLE16(header + 8, h);
    header[10] = static_cast<uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1));
    header[11] = static_cast<uint8_t>(background);
    header[12] = 0;
    stream.write(header, sizeof header);
    stream.write(palette.data(), palette.size());

    stream.put(0x21);
    stream.put(0xF9);
    stream.put(0x04);
    uint8_t control[4];
    control[0] = static_cast<uint8_t>(params.TransparentFlag | 0x08);
    putLE16(control + 1, params.Delay);
    control[3] = static_cast<uint8_t>(transparent);
    stream.write(control, sizeof control);
    stream.put(0x00);

    // Any nonzero Interlaced means interlaced; shifting a larger value would set the local
    // colour table bits of a table that is not there.
    const bool interlaced = params.Interlaced != 0;
    stream.put(0x2C);
    uint8_t descriptor[9];
    putLE16(descriptor, params.Left);
    putLE16(descriptor + 2, params.Top);
    putLE16(descriptor + 4, w);
    putLE16(descriptor + 6, h);
    descriptor[8] = interlaced ? 0x40 : 0x00;
    stream.write(descriptor, sizeof descriptor);
    report(70);

    if (!params.Compressor)
        throw Error(ErrorKind::Unsupported, "LZW compressor not found");
    params.Compressor(stream, h, w, interlaced, indices.get(), bits);
    stream.put(0x3B);
    report(100);
}

void WriteGIFFile(const std::string& fileName, const Raster& picture, const TIOParams& params,
                  const GIFProgress& progress)
{
    AtomicFileOutput out(fileName);
    WriteGIFStream(out, picture, params, progress);
    out.commit();
}

}  // namespace lumavex
