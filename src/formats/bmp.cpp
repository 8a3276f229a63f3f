#include "bmp.h"

#include <cstring>

#include "effects/error.h"

namespace lumavex {

namespace {

uint32_t le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}
uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

Error corrupt(const std::string& why)
{
    return Error(ErrorKind::Format, "BMP ファイルが壊れています (" + why + ")");
}

}  // namespace

Raster ReadBMP(std::span<const uint8_t> data)
{
    // Only 24-bit uncompressed pictures for now.
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M')
        throw corrupt("ヘッダがありません");
    const uint32_t offset = le32(&data[10]);
    const uint32_t headerSize = le32(&data[14]);
    if (headerSize < 40)
        throw Error(ErrorKind::Unsupported, "この BMP の形式には対応していません");
    const int32_t width = static_cast<int32_t>(le32(&data[18]));
    const int32_t rawHeight = static_cast<int32_t>(le32(&data[22]));
    const uint16_t bits = le16(&data[28]);
    const uint32_t compression = le32(&data[30]);
    if (bits != 24 || compression != 0)
        throw Error(ErrorKind::Unsupported, "この BMP の形式には対応していません");
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
        throw corrupt("大きさが不正です");
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -int64_t{rawHeight} : rawHeight;
    checkRasterSize(width, height);
    const uint64_t stride = rowStride(static_cast<uint64_t>(width));
    if (offset > data.size() || stride * height > data.size() - offset)
        throw corrupt("画素データが足りません");
    Raster picture(width, static_cast<int>(height));
    for (int y = 0; y < height; ++y) {
        const int fileRow = topDown ? y : static_cast<int>(height) - 1 - y;
        std::memcpy(picture.row(y), &data[offset + stride * fileRow],
                    static_cast<size_t>(width) * 3);
    }
    return picture;
}

void WriteBMP(OutputStream& out, const Raster& picture)
{
    const uint32_t stride = static_cast<uint32_t>(picture.stride());
    const uint32_t imageSize = stride * static_cast<uint32_t>(picture.height());
    out.write("BM", 2);
    out.putLE32(54 + imageSize);
    out.putLE32(0);
    out.putLE32(54);
    out.putLE32(40);
    out.putLE32(static_cast<uint32_t>(picture.width()));
    out.putLE32(static_cast<uint32_t>(picture.height()));
    out.putLE16(1);
    out.putLE16(24);
    out.putLE32(0);
    out.putLE32(imageSize);
    out.putLE32(2835);  // 72 dots per inch
    out.putLE32(2835);
    out.putLE32(0);
    out.putLE32(0);
    for (int y = picture.height() - 1; y >= 0; --y)
        out.write(picture.row(y), stride);
}

}  // namespace lumavex
