#include "bmp.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/error.h"
#include "formats/byte_order.h"
#include "formats/over_white.h"

namespace lumavex {

namespace {

Error corrupt(const std::string& why)
{
    return Error(ErrorKind::Format, "BMP ファイルが壊れています (" + why + ")");
}

Error unsupported(const std::string& what)
{
    return Error(ErrorKind::Unsupported, "この BMP の形式には対応していません (" + what + ")");
}

std::string hex(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitfields = 6,
};

/// One channel of a 16- or 32-bit pixel: where its bits lie and how they scale to 8 bits.
class Channel {
public:
    Channel() = default;
    /// Throws Error(Format) for a mask whose bits are not contiguous or lie outside the pixel.
    Channel(uint32_t mask, int pixelBits)
    {
        if (mask == 0)
            return;
        if (pixelBits < 32 && (mask >> pixelBits) != 0)
            throw corrupt("色マスク " + hex(mask) + " が画素の外にあります");
        m_shift = __builtin_ctz(mask);
        m_max = mask >> m_shift;
        if ((m_max & (m_max + 1)) != 0)
            throw corrupt("色マスク " + hex(mask) + " のビットがつながっていません");
        if (m_max <= 0xFFFF) {
            m_table.resize(m_max + 1);
            for (uint32_t v = 0; v <= m_max; ++v)
                m_table[v] = scale(v);
        }
    }
    uint8_t operator()(uint32_t pixel) const
    {
        const uint32_t v = (pixel >> m_shift) & m_max;
        return m_table.empty() ? scale(v) : m_table[v];
    }
    bool present() const { return m_max != 0; }

private:
    // The channel's value rounded to the nearest of 0 .. 255.
    uint8_t scale(uint32_t v) const
    {
        return m_max == 0 ? 0 : static_cast<uint8_t>((uint64_t{v} * 255 + m_max / 2) / m_max);
    }
    int m_shift = 0;
    uint32_t m_max = 0;
    std::vector<uint8_t> m_table;
};

/// What the header, masks and colour table of a device-independent bitmap say.
struct Dib {
    int width = 0;
    int height = 0;  // rows of colour data (for an icon: without the AND mask)
    bool topDown = false;
    int bits = 0;
    uint32_t compression = kRgb;
    std::array<uint32_t, 4> masks{};  // red, green, blue, alpha
    int paletteCount = 0;
    std::array<uint8_t, 256 * 3> palette{};  // blue, green, red; unused entries black
    size_t pixels = 0;                       // offset of the pixel data in the bytes
    uint64_t stride() const { return (uint64_t(width) * bits + 31) / 32 * 4; }
};

bool validBits(uint32_t compression, int bits)
{
    switch (compression) {
        case kRgb:
            return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
                   bits == 32;
        case kRle8: return bits == 8;
        case kRle4: return bits == 4;
        default: return bits == 16 || bits == 32;
    }
}

/// The size fields of a header as stored: width, height (negative for top-down rows; for an
/// icon, with the AND mask) and the number of colours used (0 for all).
struct HeaderSize {
    int64_t width = 0;
    int64_t rawHeight = 0;
    uint32_t colorsUsed = 0;
};

/// Reads bits, compression and the size fields of a header of headerSize bytes at h.
HeaderSize readHeaderFields(const uint8_t* h, uint32_t headerSize, Dib& dib)
{
    HeaderSize fields;
    if (headerSize == 12) {
        fields.width = le16(h + 4);
        fields.rawHeight = le16(h + 6);
        dib.bits = le16(h + 10);
        return fields;
    }
    fields.width = static_cast<int32_t>(le32(h + 4));
    fields.rawHeight = static_cast<int32_t>(le32(h + 8));
    dib.bits = le16(h + 14);
    if (headerSize >= 40) {
        dib.compression = le32(h + 16);
        fields.colorsUsed = le32(h + 32);
    }
    return fields;
}

/// Refuses compressions and bit depths the reader does not take.
void checkEncoding(const Dib& dib, bool os2, bool icon)
{
    const uint32_t c = dib.compression;
    if (c == kJpeg || c == kPng)
        throw unsupported(c == kJpeg ? "JPEG 圧縮" : "PNG 圧縮");
    if (c > kAlphaBitfields || (os2 && c > kRle4))
        throw unsupported("圧縮形式 " + std::to_string(c));
    if (dib.bits == 64)
        throw unsupported("64 ビット");
    if (!validBits(c, dib.bits))
        throw corrupt("ビット数 " + std::to_string(dib.bits) + " が不正です");
    if (icon && (c == kRle8 || c == kRle4))
        throw unsupported("RLE 圧縮のアイコン");
}

/// Sets the picture's size and row order from the size fields, within the size limit.
void setDibSize(Dib& dib, const HeaderSize& fields, bool icon)
{
    if (fields.width <= 0)
        throw corrupt("幅 " + std::to_string(fields.width) + " が不正です");
    if (fields.rawHeight == 0)
        throw corrupt("高さが 0 です");
    dib.topDown = fields.rawHeight < 0;
    int64_t height = fields.rawHeight < 0 ? -fields.rawHeight : fields.rawHeight;
    if (icon) {
        height /= 2;
        if (height == 0)
            throw corrupt("アイコンの高さが不正です");
    }
    checkRasterSize(fields.width, height);
    dib.width = static_cast<int>(fields.width);
    dib.height = static_cast<int>(height);
}

/// Reads the colour masks: inside the later headers, else right after the 40-byte one, where
/// they push the colour table back. Returns where the colour table starts.
uint64_t readMasks(std::span<const uint8_t> data, size_t start, uint32_t headerSize, Dib& dib)
{
    const uint8_t* h = data.data() + start;
    uint64_t tableStart = start + headerSize;
    const uint32_t c = dib.compression;
    if (c == kBitfields || c == kAlphaBitfields) {
        const int count = c == kAlphaBitfields ? 4 : 3;
        const uint8_t* m = h + 40;
        if (headerSize < 40u + 4 * count) {
            if (data.size() - tableStart < 4u * count)
                throw corrupt("色マスクが途中で終わっています");
            m = data.data() + tableStart;
            tableStart += 4 * count;
        }
        for (int i = 0; i < count; ++i)
            dib.masks[i] = le32(m + 4 * i);
        // No colour bits at all: the picture would be all black.
        if ((dib.masks[0] | dib.masks[1] | dib.masks[2]) == 0)
            throw corrupt("色マスクがすべて 0 です");
        if (count == 3 && headerSize >= 56)
            dib.masks[3] = le32(h + 52);
    } else if (dib.bits == 16) {
        dib.masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else if (dib.bits == 32) {
        dib.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    }
    return tableStart;
}

/// Reads the colour table at tableStart, which takes colorsUsed entries (all 2^bits when 0)
/// before the pixels, and sets where the pixels are: at fileOffset when the file header gives
/// it, else right after the table.
void readColorTable(std::span<const uint8_t> data, uint64_t tableStart, uint32_t colorsUsed,
                    bool core, std::optional<uint64_t> fileOffset, Dib& dib)
{
    const uint64_t size = data.size();
    const uint64_t entry = core ? 3 : 4;
    const uint64_t fullTable = dib.bits <= 8 ? uint64_t{1} << dib.bits : 0;
    const uint64_t entries = colorsUsed != 0 && !core ? colorsUsed : fullTable;
    uint64_t offset;
    if (fileOffset) {
        offset = *fileOffset;
        if (offset < tableStart)
            throw corrupt("画素データの位置 " + std::to_string(offset) + " がヘッダの中です");
        if (offset > size)
            throw corrupt("画素データの位置 " + std::to_string(offset) + " がファイルの外です");
    } else {
        offset = tableStart + entries * entry;
        if (offset > size)
            throw corrupt("色表が途中で終わっています");
    }
    if (dib.bits <= 8) {
        // A table shorter than declared is read as far as it goes; indexes beyond it fail.
        const uint64_t count = std::min({entries, fullTable, (offset - tableStart) / entry});
        if (count == 0)
            throw corrupt("色表がありません");
        dib.paletteCount = static_cast<int>(count);
        for (uint64_t i = 0; i < count; ++i)
            std::memcpy(&dib.palette[i * 3], data.data() + tableStart + i * entry, 3);
    }
    dib.pixels = static_cast<size_t>(offset);
}

/// Reads the header that starts at `start`. The pixel data lies at `fileOffset` when the file
/// header gives it, else right after the colour table. An icon's height counts its AND mask.
Dib parseDib(std::span<const uint8_t> data, size_t start, std::optional<uint64_t> fileOffset,
             bool icon)
{
    const size_t size = data.size();
    if (size < start + 4)
        throw corrupt("ヘッダが途中で終わっています");
    const uint32_t headerSize = le32(data.data() + start);
    const bool core = headerSize == 12;
    const bool os2 = headerSize == 16 || headerSize == 64;
    if (!core && !os2 && headerSize < 40)
        throw corrupt("ヘッダの大きさ " + std::to_string(headerSize) + " が不正です");
    if (headerSize > size - start)
        throw corrupt("ヘッダが途中で終わっています");

    Dib dib;
    const HeaderSize fields = readHeaderFields(data.data() + start, headerSize, dib);
    checkEncoding(dib, os2, icon);
    setDibSize(dib, fields, icon);
    const uint64_t tableStart = readMasks(data, start, headerSize, dib);
    readColorTable(data, tableStart, fields.colorsUsed, core, fileOffset, dib);
    return dib;
}

Error indexOutOfRange(unsigned index, const Dib& dib)
{
    return corrupt("色番号 " + std::to_string(index) + " が色表 (" +
                   std::to_string(dib.paletteCount) + " 色) の外です");
}

void indexedRow(const uint8_t* src, uint8_t* dst, const Dib& dib)
{
    const int bits = dib.bits;
    const int perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    unsigned largest = 0;
    for (int x = 0; x < dib.width; ++x, dst += 3) {
        const unsigned i =
            bits == 8 ? src[x] : (src[x / perByte] >> (8 - bits * (x % perByte + 1))) & mask;
        largest = std::max(largest, i);
        const uint8_t* p = &dib.palette[i * 3];
        dst[0] = p[0];
        dst[1] = p[1];
        dst[2] = p[2];
    }
    if (largest >= static_cast<unsigned>(dib.paletteCount))
        throw indexOutOfRange(largest, dib);
}

/// Decodes uncompressed or masked pixel rows.
Raster decodeRows(std::span<const uint8_t> data, const Dib& dib)
{
    const uint64_t stride = dib.stride();
    if (stride * dib.height > data.size() - dib.pixels)
        throw corrupt("画素データが足りません");
    const Channel red(dib.masks[0], dib.bits);
    const Channel green(dib.masks[1], dib.bits);
    const Channel blue(dib.masks[2], dib.bits);
    const bool plain32 = dib.bits == 32 && dib.masks[0] == 0x00FF0000 &&
                         dib.masks[1] == 0x0000FF00 && dib.masks[2] == 0x000000FF;

    Raster picture = Raster::unfilled(dib.width, dib.height);
    const int w = dib.width;
    for (int y = 0; y < dib.height; ++y) {
        const int fileRow = dib.topDown ? y : dib.height - 1 - y;
        const uint8_t* src = data.data() + dib.pixels + stride * fileRow;
        uint8_t* dst = picture.row(y);
        if (dib.bits <= 8) {
            indexedRow(src, dst, dib);
        } else if (dib.bits == 24) {
            std::memcpy(dst, src, size_t(w) * 3);
        } else if (plain32) {
            for (int x = 0; x < w; ++x, src += 4, dst += 3) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
            }
        } else {
            const int bytes = dib.bits / 8;
            for (int x = 0; x < w; ++x, src += bytes, dst += 3) {
                const uint32_t p = bytes == 2 ? le16(src) : le32(src);
                dst[0] = blue(p);
                dst[1] = green(p);
                dst[2] = red(p);
            }
        }
    }
    return picture;
}

/// Decodes RLE8 or RLE4 data. Skipped pixels stay black; a run past the end of a row or of
/// the picture is corrupt.
Raster decodeRle(std::span<const uint8_t> data, const Dib& dib)
{
    Raster picture(dib.width, dib.height, kBlack);
    const bool four = dib.compression == kRle4;
    const uint8_t* s = data.data() + dib.pixels;
    const size_t n = data.size() - dib.pixels;
    const int w = dib.width;
    const int h = dib.height;
    size_t i = 0;
    int x = 0;
    int y = 0;  // in file order: row 0 is the bottom of a bottom-up picture
    auto target = [&](int count) {
        if (y >= h || count > w - x)
            throw corrupt("RLE の画素が画像の外にはみ出しています");
        return picture.row(dib.topDown ? y : h - 1 - y) + 3 * x;
    };
    auto put = [&](uint8_t*& dst, unsigned index) {
        if (index >= static_cast<unsigned>(dib.paletteCount))
            throw indexOutOfRange(index, dib);
        const uint8_t* p = &dib.palette[index * 3];
        dst[0] = p[0];
        dst[1] = p[1];
        dst[2] = p[2];
        dst += 3;
    };
    for (;;) {
        if (n - i < 2) {
            if (y >= h)
                return picture;  // complete though the end-of-bitmap mark is missing
            throw corrupt("RLE データが途中で終わっています");
        }
        const int count = s[i];
        const int value = s[i + 1];
        i += 2;
        if (count > 0) {
            uint8_t* dst = target(count);
            for (int k = 0; k < count; ++k)
                put(dst, four ? (k % 2 == 0 ? value >> 4 : value & 15) : value);
            x += count;
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return picture;
        } else if (value == 2) {
            if (n - i < 2)
                throw corrupt("RLE データが途中で終わっています");
            const int dx = s[i];
            const int dy = s[i + 1];
            i += 2;
            if (dx > w - x || dy > h - y)
                throw corrupt("RLE の移動が画像の外に出ています");
            x += dx;
            y += dy;
        } else {
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (n - i < bytes)
                throw corrupt("RLE データが途中で終わっています");
            uint8_t* dst = target(value);
            for (int k = 0; k < value; ++k)
                put(dst, four ? (k % 2 == 0 ? s[i + k / 2] >> 4 : s[i + k / 2] & 15) : s[i + k]);
            x += value;
            // Absolute runs are padded to a 16-bit boundary.
            i += std::min(n - i, (bytes + 1) & ~size_t{1});
        }
    }
}

Raster decodePixels(std::span<const uint8_t> data, const Dib& dib)
{
    if (dib.compression == kRle8 || dib.compression == kRle4)
        return decodeRle(data, dib);
    return decodeRows(data, dib);
}

}  // namespace

Raster ReadBMP(std::span<const uint8_t> data)
{
    if (data.size() < 2 || data[0] != 'B' || data[1] != 'M')
        throw Error(ErrorKind::Format, "BMP ファイルではありません");
    if (data.size() < 14)
        throw corrupt("ヘッダが途中で終わっています");
    return decodePixels(data, parseDib(data, 14, le32(&data[10]), false));
}

Raster ReadDIB(std::span<const uint8_t> data)
{
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M')
        return ReadBMP(data);
    return decodePixels(data, parseDib(data, 0, std::nullopt, false));
}

Raster ReadIconDIB(std::span<const uint8_t> data)
{
    const Dib dib = parseDib(data, 0, std::nullopt, true);
    Raster picture = decodeRows(data, dib);
    const int w = dib.width;
    const int h = dib.height;
    const uint64_t stride = dib.stride();
    auto fileRow = [&](int y) { return dib.topDown ? y : h - 1 - y; };

    if (dib.bits == 32 && dib.masks[3] != 0) {
        const Channel alpha(dib.masks[3], 32);
        bool anyAlpha = false;
        for (int y = 0; y < h && !anyAlpha; ++y) {
            const uint8_t* src = data.data() + dib.pixels + stride * y;
            for (int x = 0; x < w && !anyAlpha; ++x)
                anyAlpha = alpha(le32(src + 4 * x)) != 0;
        }
        if (anyAlpha) {
            for (int y = 0; y < h; ++y) {
                const uint8_t* src = data.data() + dib.pixels + stride * fileRow(y);
                uint8_t* dst = picture.row(y);
                for (int x = 0; x < w; ++x, dst += 3) {
                    const unsigned a = alpha(le32(src + 4 * x));
                    dst[0] = overWhite(dst[0], a);
                    dst[1] = overWhite(dst[1], a);
                    dst[2] = overWhite(dst[2], a);
                }
            }
            return picture;
        }
    }

    // The AND mask: one bit a pixel, rows padded to 4 bytes, in the colour rows' order.
    const uint64_t maskStride = (uint64_t(w) + 31) / 32 * 4;
    const uint64_t maskStart = dib.pixels + stride * h;
    if (maskStride * h > data.size() - maskStart) {
        if (dib.bits == 32)
            return picture;  // an opaque 32-bit image may come without its mask
        throw corrupt("アイコンの AND マスクが足りません");
    }
    for (int y = 0; y < h; ++y) {
        const uint8_t* mask = data.data() + maskStart + maskStride * fileRow(y);
        uint8_t* dst = picture.row(y);
        for (int x = 0; x < w; ++x, dst += 3) {
            // Drawn on white: (white AND mask) XOR colour.
            if (mask[x / 8] & (0x80 >> (x % 8))) {
                dst[0] ^= 0xFF;
                dst[1] ^= 0xFF;
                dst[2] ^= 0xFF;
            }
        }
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
