#include "formats/png_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include <png.h>
#include <zlib.h>

#include "core/error.h"
#include "error_checks.h"
#include "support/bounded_run.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

/// A PNG file as libpng itself writes it, rows given as the format packs them.
struct PngLayout {
    int width = 1;
    int height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha;  // tRNS of a palette file
    bool hasTransparentColor = false;   // tRNS of a grey or RGB file
    png_color_16 transparentColor{};
    std::vector<std::vector<uint8_t>> rows;
};

void appendBytes(png_structp png, png_bytep data, size_t n)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> makePng(const PngLayout& s)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty())
        png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    if (!s.paletteAlpha.empty())
        png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()),
                     nullptr);
    if (s.hasTransparentColor)
        png_set_tRNS(png, info, nullptr, 0, &s.transparentColor);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (const auto& row : s.rows)
            png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

/// Rows of 8- or 16-bit samples (16-bit ones most significant byte first).
std::vector<std::vector<uint8_t>> sampleRows(const std::vector<std::vector<unsigned>>& rows,
                                             int depth)
{
    std::vector<std::vector<uint8_t>> out;
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes;
        for (unsigned v : row) {
            if (depth == 16)
                bytes.push_back(static_cast<uint8_t>(v >> 8));
            bytes.push_back(static_cast<uint8_t>(v));
        }
        out.push_back(bytes);
    }
    return out;
}

/// Rows of 1-, 2- or 4-bit samples packed most significant bits first.
std::vector<std::vector<uint8_t>> packedRows(const std::vector<std::vector<unsigned>>& rows,
                                             int depth)
{
    std::vector<std::vector<uint8_t>> out;
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes((row.size() * depth + 7) / 8, 0);
        for (size_t x = 0; x < row.size(); ++x)
            bytes[x * depth / 8] |= static_cast<uint8_t>(row[x] << (8 - depth - x * depth % 8));
        out.push_back(bytes);
    }
    return out;
}

/// What a channel laid over white should be, computed the long way.
int overWhiteReference(double c, double a, double max)
{
    return static_cast<int>(std::lround((c * a + max * (max - a)) / max * 255.0 / max));
}

ErrorKind kindOf(std::span<const uint8_t> bytes)
{
    return test::kindOf([&] { ReadPNG(bytes); });
}

TEST(PNG, RoundTripIsExactAndLibpngAgrees)
{
    const Raster picture = test::makeGradient(37, 23);
    MemoryOutput out;
    WritePNG(out, picture);
    const auto& b = out.bytes();
    ASSERT_GT(b.size(), 33u);
    EXPECT_EQ(b[24], 8);  // IHDR: 8 bits, colour type 2 (RGB), not interlaced
    EXPECT_EQ(b[25], 2);
    EXPECT_EQ(b[28], 0);
    EXPECT_TRUE(ReadPNG(b).samePixels(picture));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, b.data(), b.size()));
    image.format = PNG_FORMAT_BGR;
    std::vector<uint8_t> samples(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr));
    ASSERT_EQ(image.width, 37u);
    ASSERT_EQ(image.height, 23u);
    for (int y = 0; y < 23; ++y)
        ASSERT_EQ(0, std::memcmp(&samples[y * 37 * 3], picture.row(y), 37 * 3)) << y;
}

TEST(PNG, AlphaIsLaidOverWhiteAndRoundedOnce)
{
    // Eight-bit RGBA.
    PngLayout s;
    s.width = 4;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = sampleRows({{200, 100, 0, 128, 10, 20, 30, 0, 10, 20, 30, 255, 1, 2, 3, 1}}, 8);
    Raster got = ReadPNG(makePng(s));
    EXPECT_EQ(got.pixel(0, 0),
              makeColor(overWhiteReference(200, 128, 255), overWhiteReference(100, 128, 255),
                        overWhiteReference(0, 128, 255)));
    EXPECT_EQ(got.pixel(0, 0), makeColor(227, 177, 127));
    EXPECT_EQ(got.pixel(1, 0), kWhite);
    EXPECT_EQ(got.pixel(2, 0), makeColor(10, 20, 30));
    EXPECT_EQ(got.pixel(3, 0), makeColor(254, 254, 254));  // just short of white

    // Sixteen-bit RGBA keeps its precision until the one rounding.
    s.bitDepth = 16;
    s.width = 3;
    s.rows = sampleRows({{51400, 25700, 0, 32896, 0, 65535, 12345, 0, 1, 1, 1, 65534}}, 16);
    got = ReadPNG(makePng(s));
    EXPECT_EQ(got.pixel(0, 0), makeColor(overWhiteReference(51400, 32896, 65535),
                                         overWhiteReference(25700, 32896, 65535),
                                         overWhiteReference(0, 32896, 65535)));
    EXPECT_EQ(got.pixel(1, 0), kWhite);
    EXPECT_EQ(got.pixel(2, 0), makeColor(0, 0, 0));  // 1 / 65535 of the way to white

    // Grey with alpha.
    PngLayout g;
    g.width = 2;
    g.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    g.rows = sampleRows({{0, 64, 90, 255}}, 8);
    got = ReadPNG(makePng(g));
    const int v = overWhiteReference(0, 64, 255);
    EXPECT_EQ(got.pixel(0, 0), makeColor(v, v, v));
    EXPECT_EQ(got.pixel(1, 0), makeColor(90, 90, 90));
}

TEST(PNG, SixteenBitChannelsRoundToTheNearestByte)
{
    const std::vector<unsigned> values = {0, 65535, 32896, 32895, 32640, 129, 128, 257 * 77};
    const std::vector<int> expected = {0, 255, 128, 128, 127, 1, 0, 77};
    PngLayout s;
    s.width = static_cast<int>(values.size());
    s.colorType = PNG_COLOR_TYPE_GRAY;
    s.bitDepth = 16;
    s.rows = sampleRows({values}, 16);
    const Raster got = ReadPNG(makePng(s));
    for (size_t x = 0; x < values.size(); ++x) {
        const int e = expected[x];
        EXPECT_EQ(e, std::lround(values[x] * 255.0 / 65535)) << x;
        EXPECT_EQ(got.pixel(static_cast<int>(x), 0), makeColor(e, e, e)) << x;
    }
    // And each channel of RGB on its own.
    PngLayout c;
    c.width = 1;
    c.bitDepth = 16;
    c.rows = sampleRows({{65535, 32640, 129}}, 16);
    EXPECT_EQ(ReadPNG(makePng(c)).pixel(0, 0), makeColor(255, 127, 1));
}

TEST(PNG, GreyAndPaletteFilesOfEveryDepth)
{
    for (int depth : {1, 2, 4, 8}) {
        const unsigned top = (1u << depth) - 1;
        std::vector<std::vector<unsigned>> rows = {{0, top, top / 2, 1 % (top + 1), 0, top},
                                                   {top, 0, top, 0, top / 3, top}};
        SCOPED_TRACE(depth);
        // Grey: the level scaled to 0 .. 255.
        PngLayout g;
        g.width = 6;
        g.height = 2;
        g.colorType = PNG_COLOR_TYPE_GRAY;
        g.bitDepth = depth;
        g.rows = depth == 8 ? sampleRows(rows, 8) : packedRows(rows, depth);
        Raster got = ReadPNG(makePng(g));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 6; ++x) {
                const int v = static_cast<int>(rows[y][x] * 255 / top);
                ASSERT_EQ(got.pixel(x, y), makeColor(v, v, v)) << x << "," << y;
            }
        // Palette with transparency on entry 1.
        PngLayout p = g;
        p.colorType = PNG_COLOR_TYPE_PALETTE;
        for (unsigned i = 0; i <= top; ++i)
            p.palette.push_back({static_cast<png_byte>(i * 3), static_cast<png_byte>(250 - i),
                                 static_cast<png_byte>(i ^ 0x5A)});
        p.paletteAlpha = {255, 0};
        got = ReadPNG(makePng(p));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 6; ++x) {
                const png_color c = p.palette[rows[y][x]];
                const Color want = rows[y][x] == 1 ? kWhite : makeColor(c.red, c.green, c.blue);
                ASSERT_EQ(got.pixel(x, y), want) << x << "," << y;
            }
    }
}

TEST(PNG, ATransparentColourBecomesWhite)
{
    PngLayout s;
    s.width = 3;
    s.rows = sampleRows({{10, 20, 30, 10, 20, 31, 0, 0, 0}}, 8);
    s.hasTransparentColor = true;
    s.transparentColor.red = 10;
    s.transparentColor.green = 20;
    s.transparentColor.blue = 30;
    const Raster got = ReadPNG(makePng(s));
    EXPECT_EQ(got.pixel(0, 0), kWhite);
    EXPECT_EQ(got.pixel(1, 0), makeColor(10, 20, 31));
    EXPECT_EQ(got.pixel(2, 0), kBlack);

    PngLayout g;
    g.width = 2;
    g.colorType = PNG_COLOR_TYPE_GRAY;
    g.bitDepth = 16;
    g.rows = sampleRows({{1000, 1001}}, 16);
    g.hasTransparentColor = true;
    g.transparentColor.gray = 1000;
    const Raster grey = ReadPNG(makePng(g));
    EXPECT_EQ(grey.pixel(0, 0), kWhite);
    EXPECT_EQ(grey.pixel(1, 0), makeColor(4, 4, 4));  // 1001 * 255 / 65535 = 3.9
}

TEST(PNG, InterlacedFilesMatchTheirPlainTwin)
{
    std::mt19937 random(9);
    for (int colorType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE}) {
        for (int depth : {8, 16}) {
            if (colorType == PNG_COLOR_TYPE_PALETTE && depth == 16)
                continue;
            for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {17, 13}}) {
                const int channels = colorType == PNG_COLOR_TYPE_RGB         ? 3
                                     : colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                                                                             : 1;
                std::vector<std::vector<unsigned>> rows(h);
                for (auto& row : rows)
                    for (int i = 0; i < w * channels; ++i)
                        row.push_back(colorType == PNG_COLOR_TYPE_PALETTE
                                          ? random() % 16
                                          : random() % (depth == 16 ? 65536 : 256));
                PngLayout s;
                s.width = w;
                s.height = h;
                s.colorType = colorType;
                s.bitDepth = depth;
                s.rows = sampleRows(rows, depth);
                if (colorType == PNG_COLOR_TYPE_PALETTE)
                    for (int i = 0; i < 16; ++i)
                        s.palette.push_back(
                            {static_cast<png_byte>(i * 16), 7, static_cast<png_byte>(255 - i)});
                const Raster plain = ReadPNG(makePng(s));
                s.interlaced = true;
                const std::vector<uint8_t> file = makePng(s);
                ASSERT_EQ(file[28], 1);  // Adam7
                SCOPED_TRACE(std::to_string(colorType) + "/" + std::to_string(depth) + " " +
                             std::to_string(w) + "x" + std::to_string(h));
                EXPECT_TRUE(ReadPNG(file).samePixels(plain));
            }
        }
    }
}

/// The file with a chunk's CRC made right again after changing its bytes.
void fixCrc(std::vector<uint8_t>& b, size_t chunkStart)
{
    const uint32_t length = uint32_t{b[chunkStart]} << 24 | b[chunkStart + 1] << 16 |
                            b[chunkStart + 2] << 8 | b[chunkStart + 3];
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &b[chunkStart + 4], length + 4));
    for (int i = 0; i < 4; ++i)
        b[chunkStart + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

TEST(PNG, HostileFilesGiveClearErrors)
{
    MemoryOutput out;
    WritePNG(out, test::makeNoise(40, 30, 4));
    const std::vector<uint8_t> good = out.bytes();
    auto withSize = [&](uint32_t w, uint32_t h) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i) {
            b[16 + i] = static_cast<uint8_t>(w >> (24 - 8 * i));
            b[20 + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
        }
        fixCrc(b, 8);
        return b;
    };
    EXPECT_EQ(kindOf({}), ErrorKind::Format);
    EXPECT_EQ(kindOf(std::vector<uint8_t>(good.begin(), good.begin() + 7)), ErrorKind::Format);
    EXPECT_EQ(kindOf(std::vector<uint8_t>(good.begin(), good.begin() + 20)), ErrorKind::Format);
    EXPECT_EQ(kindOf(std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)),
              ErrorKind::Format);
    std::vector<uint8_t> badCrc = good;
    badCrc[good.size() / 2] ^= 0x40;  // inside the pixel data
    EXPECT_EQ(kindOf(badCrc), ErrorKind::Format);
    EXPECT_EQ(kindOf(withSize(0, 30)), ErrorKind::Format);
    EXPECT_EQ(kindOf(withSize(60000, 60000)), ErrorKind::TooLarge);
    EXPECT_EQ(kindOf(withSize(0x7FFFFFFF, 1)), ErrorKind::TooLarge);
    EXPECT_EQ(kindOf(withSize(0x80000000, 1)), ErrorKind::Format);
    EXPECT_EQ(kindOf(withSize(400, 300)), ErrorKind::Format);  // more rows than the data holds

    std::mt19937 random(6);
    for (int k = 0; k < 400; ++k) {
        std::vector<uint8_t> b = good;
        for (int n = 0; n < 3; ++n)
            b[random() % b.size()] = static_cast<uint8_t>(random());
        if (k % 2 == 0 && b[8] == 0 && b[9] == 0 && b[10] == 0 && b[11] == 13)
            fixCrc(b, 8);  // let damage to the header through to the decoder
        b.resize(b.size() - random() % 64);
        try {
            const Raster r = ReadPNG(b);
            EXPECT_GT(r.width(), 0);
        } catch (const Error& e) {
            EXPECT_TRUE(e.kind() == ErrorKind::Format || e.kind() == ErrorKind::TooLarge ||
                        e.kind() == ErrorKind::Unsupported)
                << e.what();
        }
    }
}

/// A chunk with its length and CRC.
void appendChunk(std::vector<uint8_t>& file, const char* type, const std::vector<uint8_t>& body)
{
    auto be32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(v >> (24 - 8 * i)));
    };
    be32(static_cast<uint32_t>(body.size()));
    const size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), body.begin(), body.end());
    be32(static_cast<uint32_t>(crc32(0, &file[start], static_cast<uInt>(body.size() + 4))));
}

/// An interlaced 16-bit RGBA file whose samples are all 0 (transparent, so white).
std::vector<uint8_t> clearInterlaced16(uint32_t w, uint32_t h)
{
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header(13);
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<uint8_t>(w >> (24 - 8 * i));
        header[4 + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
    }
    header[8] = 16;
    header[9] = PNG_COLOR_TYPE_RGB_ALPHA;
    header[12] = 1;
    appendChunk(file, "IHDR", header);
    size_t raw = 0;
    for (int pass = 0; pass < 7; ++pass)
        if (PNG_PASS_COLS(w, pass) && PNG_PASS_ROWS(h, pass))
            raw += PNG_PASS_ROWS(h, pass) * (1 + PNG_PASS_COLS(w, pass) * 8);
    const std::vector<uint8_t> zeros(raw, 0);
    std::vector<uint8_t> packed(compressBound(static_cast<uLong>(raw)));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress2(packed.data(), &packedSize, zeros.data(), static_cast<uLong>(raw), 1);
    packed.resize(packedSize);
    appendChunk(file, "IDAT", packed);
    appendChunk(file, "IEND", {});
    return file;
}

TEST(PNG, InterlacedSixteenBitFilesDecodeWithinThePictureMemory)
{
    const std::vector<uint8_t> file = clearInterlaced16(2000, 1500);
    const test::BoundedResult r = test::runBounded([&] {
        const Raster picture = ReadPNG(file);
        return picture.width() == 2000 && picture.height() == 1500 &&
                       picture.pixel(1999, 1499) == makeColor(255, 255, 255) &&
                       picture.pixel(3, 5) == makeColor(255, 255, 255)
                   ? 0
                   : 1;
    });
    EXPECT_EQ(r.exitCode, 0);
    // The picture is 9 MB; a buffer of the 16-bit pixels would be 24 MB more.
    EXPECT_LT(r.extraBytes, uint64_t{18} << 20);
}

TEST(PNG, PaletteIndexesBeyondThePaletteAreRefused)
{
    PngLayout s;
    s.width = 3;
    s.height = 2;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    s.bitDepth = 4;
    for (int i = 0; i < 5; ++i)
        s.palette.push_back({static_cast<png_byte>(i * 50), 0, 0});
    s.rows = packedRows({{0, 1, 2}, {3, 4, 4}}, 4);
    EXPECT_EQ(ReadPNG(makePng(s)).pixel(1, 1), makeColor(200, 0, 0));
    for (bool interlaced : {false, true}) {
        s.interlaced = interlaced;
        s.rows = packedRows({{0, 1, 2}, {3, 5, 4}}, 4);
        EXPECT_EQ(kindOf(makePng(s)), ErrorKind::Format);
    }
}

TEST(PNG, WriterPassesStreamErrorsOn)
{
    const Raster picture = test::makeNoise(200, 100, 2);
    for (size_t room : {size_t{0}, size_t{20000}})
        test::expectStreamErrorPassedOn(room, [&](OutputStream& s) { WritePNG(s, picture); });
}

}  // namespace
}  // namespace lumavex
