#include "formats/gif_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/error.h"
#include "quantize/neuquant.h"
#include "formats/picture_io.h"
#include "support/gif_decode.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

TIOParams withLZW()
{
    TIOParams params;
    params.Compressor = GIFLZWEncode;
    return params;
}

std::vector<uint8_t> writeGif(const Raster& picture, const TIOParams& params)
{
    MemoryOutput out;
    WriteGIFStream(out, picture, params);
    return out.bytes();
}

// What the writer must produce for a 24-bit picture: the quantiser's palette (red, green, blue)
// and the nearest index of every pixel.
struct Expected {
    std::vector<uint8_t> rgbPalette;
    std::vector<uint8_t> indices;
    int background;
    int transparent;
};

Expected quantised(const Raster& picture, int bits, Color background = kBlack,
                   Color transparent = kBlack)
{
    NeurQuant q(1 << bits);
    q.learn(picture, NeurQuantSampleFactor(int64_t{picture.width()} * picture.height()));
    Expected e;
    e.rgbPalette = q.palette();
    for (size_t i = 0; i < e.rgbPalette.size(); i += 3)
        std::swap(e.rgbPalette[i], e.rgbPalette[i + 2]);
    e.indices.resize(size_t(picture.width()) * picture.height());
    q.mapIndices(picture, e.indices.data());
    e.background = q.nearest(blueOf(background), greenOf(background), redOf(background));
    e.transparent = q.nearest(blueOf(transparent), greenOf(transparent), redOf(transparent));
    return e;
}

Raster twoColours(int width, int height, Color first, Color second)
{
    Raster picture(width, height, first);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x * 3 + y * 5) % 7 < 3 && (x | y) != 0)
                picture.setPixel(x, y, second);
    return picture;
}

TEST(WriteGIFStream, WritesTheExactLayout)
{
    const Raster picture = test::makeFPicture(20, 16);
    const std::vector<uint8_t> f = writeGif(picture, withLZW());
    const Expected e = quantised(picture, 8);
    ASSERT_GT(f.size(), 13u + 768 + 8 + 10 + 6 + 1);
    const std::vector<uint8_t> screen = {
        'G', 'I', 'F', '8', '9', 'a', 20, 0, 16, 0, 0xF7, uint8_t(e.background), 0};
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 13), screen);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 13, f.begin() + 13 + 768), e.rgbPalette);
    const std::vector<uint8_t> control = {0x21, 0xF9, 0x04, 0x08, 0, 0, uint8_t(e.transparent), 0};
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 781, f.begin() + 789), control);
    const std::vector<uint8_t> descriptor = {0x2C, 0, 0, 0, 0, 20, 0, 16, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 789, f.begin() + 799), descriptor);
    const test::LzwStream data = test::decodeImageData(f.data() + 799, f.size() - 799);
    EXPECT_EQ(data.error, "");
    EXPECT_EQ(data.minCodeSize, 8);
    EXPECT_EQ(data.pixels, e.indices);
    EXPECT_EQ(799 + data.consumed + 1, f.size());
    EXPECT_EQ(f.back(), 0x3B);
}

TEST(WriteGIFStream, WritesTheParametersAsGiven)
{
    const Raster picture = test::makeGradient(9, 5);
    TIOParams params = withLZW();
    params.BitsPerPixel = 4;
    params.Version = "GIF87a and more";
    params.Left = 0x12345;
    params.Top = -1;
    params.Delay = 70000;
    params.TransparentFlag = 1;
    params.TransparentColor = kWhite;
    params.BackgroundColor = makeColor(200, 10, 30);
    params.Interlaced = 7;
    const std::vector<uint8_t> f = writeGif(picture, params);
    const Expected e = quantised(picture, 4, params.BackgroundColor, kWhite);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF87a");
    EXPECT_EQ(f[10], 0xB3);
    EXPECT_EQ(f[11], e.background);
    const size_t gce = 13 + 48;
    EXPECT_EQ(
        std::vector<uint8_t>(f.begin() + gce, f.begin() + gce + 8),
        (std::vector<uint8_t>{0x21, 0xF9, 0x04, 0x09, 0x70, 0x11, uint8_t(e.transparent), 0}));
    // Left and Top keep their low 16 bits; any nonzero Interlaced is the one interlace bit.
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + gce + 8, f.begin() + gce + 18),
              (std::vector<uint8_t>{0x2C, 0x45, 0x23, 0xFF, 0xFF, 9, 0, 5, 0, 0x40}));
    const test::LzwStream data = test::decodeImageData(f.data() + gce + 18, f.size() - gce - 18);
    EXPECT_EQ(data.minCodeSize, 4);
    EXPECT_EQ(data.pixels.size(), 45u);
}

TEST(WriteGIFStream, GiflibReadsBackTheIndicesAndPalette)
{
    const int sizes[][2] = {{1, 1}, {3, 2}, {17, 5}, {64, 64}, {100, 37}, {257, 130}};
    for (const auto& size : sizes) {
        const Raster picture = test::makeNoise(size[0], size[1], size[0] * 7 + size[1]);
        for (int bits = 2; bits <= 8; ++bits) {
            for (bool interlaced : {false, true}) {
                TIOParams params = withLZW();
                params.BitsPerPixel = bits;
                params.Interlaced = interlaced;
                const test::GiflibPicture g = test::decodeWithGiflib(writeGif(picture, params));
                ASSERT_EQ(g.error, 0) << size[0] << " x " << size[1] << " bits " << bits;
                const Expected e = quantised(picture, bits);
                EXPECT_EQ(g.width, size[0]);
                EXPECT_EQ(g.height, size[1]);
                EXPECT_EQ(g.screenWidth, size[0]);
                EXPECT_EQ(g.screenHeight, size[1]);
                EXPECT_EQ(g.imageCount, 1);
                EXPECT_EQ(g.interlaced, interlaced);
                EXPECT_EQ(g.colorCount, 1 << bits);
                EXPECT_EQ(g.colorResolution, bits);
                EXPECT_EQ(g.background, e.background);
                EXPECT_EQ(g.palette, e.rgbPalette);
                EXPECT_EQ(g.indices, e.indices) << size[0] << " x " << size[1] << " bits " << bits;
                EXPECT_EQ(g.disposal, DISPOSE_BACKGROUND);
                EXPECT_EQ(g.delay, 0);
                EXPECT_EQ(g.transparentIndex, NO_TRANSPARENT_COLOR);
            }
        }
    }
}

TEST(WriteGIFStream, TwoColoursAtOneBitAreBlackAndWhiteDarkerBlack)
{
    const std::vector<uint8_t> blackWhite = {0, 0, 0, 255, 255, 255};
    auto check = [&](const Raster& picture, Color black, const char* what) {
        TIOParams params = withLZW();
        params.BitsPerPixel = 1;
        for (bool interlaced : {false, true}) {
            params.Interlaced = interlaced;
            const std::vector<uint8_t> f = writeGif(picture, params);
            EXPECT_EQ(f[10], 0x80) << what;
            EXPECT_EQ(f[11], 0) << what;  // black is entry 0
            const test::GiflibPicture g = test::decodeWithGiflib(f);
            ASSERT_EQ(g.error, 0) << what;
            EXPECT_EQ(g.colorCount, 2);
            EXPECT_EQ(g.palette, blackWhite);
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    ASSERT_EQ(g.indices[size_t(y) * picture.width() + x],
                              picture.pixel(x, y) == black ? 0 : 1)
                        << what << " at " << x << ", " << y;
        }
    };
    // Blue (luminance 28) comes first, red (76) is lighter: no flip.
    check(test::makeFPicture(40, 30), test::kTestBlue, "red F on blue");
    // White first, then black: flipped so that black stays black.
    check(twoColours(13, 11, kWhite, kBlack), kBlack, "black on white");
    // Luminances 2.6 and 2.5 round to 3 and 2 (halves to even): the second is darker.
    check(twoColours(9, 9, makeColor(5, 0, 10), makeColor(6, 1, 1)), makeColor(6, 1, 1),
          "half rounds to even");
    // Equal luminance (0.3 and 0.11 both round to 0): the first colour met is black.
    check(twoColours(7, 7, makeColor(1, 0, 0), makeColor(0, 0, 1)), makeColor(1, 0, 0),
          "equal luminance");
}

TEST(WriteGIFStream, OneBitOfOneOrThreeColoursIsWrittenAtEightBits)
{
    TIOParams params = withLZW();
    params.BitsPerPixel = 1;
    Raster three = twoColours(10, 10, kWhite, kBlack);
    three.setPixel(9, 9, makeColor(1, 2, 3));
    for (const Raster& picture : {Raster(6, 4, makeColor(10, 20, 30)), three}) {
        const std::vector<uint8_t> f = writeGif(picture, params);
        EXPECT_EQ(f[10], 0xF7);
        const test::GiflibPicture g = test::decodeWithGiflib(f);
        ASSERT_EQ(g.error, 0);
        const Expected e = quantised(picture, 8);
        EXPECT_EQ(g.palette, e.rgbPalette);
        EXPECT_EQ(g.indices, e.indices);
    }
}

TEST(WriteGIFStream, ReportsProgress)
{
    std::vector<int> seen;
    MemoryOutput out;
    WriteGIFStream(out, test::makeFPicture(10, 10), withLZW(), [&](int p) { seen.push_back(p); });
    EXPECT_EQ(seen, (std::vector<int>{0, 30, 70, 100}));
}

TEST(WriteGIFStream, WithoutACompressorFailsAfterTheImageDescriptor)
{
    std::vector<int> seen;
    MemoryOutput out;
    try {
        WriteGIFStream(out, test::makeFPicture(10, 10), TIOParams(),
                       [&](int p) { seen.push_back(p); });
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "LZW compressor not found");
    }
    EXPECT_EQ(out.bytes().size(), 13u + 768 + 8 + 10);
    EXPECT_EQ(out.bytes().back(), 0);  // the descriptor's packed byte
    EXPECT_EQ(seen, (std::vector<int>{0, 30, 70}));
}

TEST(WriteGIFStream, RefusesBadParametersBeforeWriting)
{
    const Raster picture = test::makeFPicture(10, 10);
    for (int bits : {0, 9, -1}) {
        TIOParams params = withLZW();
        params.BitsPerPixel = bits;
        MemoryOutput out;
        EXPECT_THROW(WriteGIFStream(out, picture, params), Error);
        EXPECT_TRUE(out.bytes().empty());
    }
    TIOParams params = withLZW();
    params.Version = "GIF8";
    MemoryOutput out;
    EXPECT_THROW(WriteGIFStream(out, picture, params), Error);
    EXPECT_TRUE(out.bytes().empty());

    EXPECT_NO_THROW(checkGifSize(65535, 65535));
    EXPECT_NO_THROW(checkGifSize(0, 0));
    for (auto [w, h] : {std::pair{65536, 1}, {1, 65536}, {-1, 5}}) {
        try {
            checkGifSize(w, h);
            FAIL() << w << " x " << h;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
        }
    }
}

TEST(WriteGIFStream, AnEmptyPictureHasAnEmptyImageBlock)
{
    const std::vector<uint8_t> f = writeGif(Raster(), withLZW());
    const std::vector<uint8_t> tail = {0x2C, 0,    0,    0,    0,    0,    0,    0,   0,
                                       0,    0x08, 0x03, 0x00, 0x03, 0x02, 0x00, 0x3B};
    ASSERT_EQ(f.size(), 13u + 768 + 8 + tail.size());
    EXPECT_EQ(std::vector<uint8_t>(f.end() - tail.size(), f.end()), tail);
}

TEST(WriteGIFFile, AFailureLeavesTheOldFileAsItWas)
{
    test::TempDir dir;
    const std::string name = dir.file("old.gif");
    test::writeFile(name, "old content");
    EXPECT_THROW(WriteGIFFile(name, test::makeFPicture(10, 10), TIOParams()), Error);
    EXPECT_EQ(test::readFile(name), "old content");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);

    WriteGIFFile(name, test::makeFPicture(10, 10), withLZW());
    const std::vector<uint8_t> expected = writeGif(test::makeFPicture(10, 10), withLZW());
    EXPECT_EQ(test::readFile(name), std::string(expected.begin(), expected.end()));
}

TEST(SavePicture, WritesGifWithTheSaveOptions)
{
    test::TempDir dir;
    const Raster picture = test::makeNoise(50, 40, 21);
    SaveOptions options;
    options.gifBitsPerPixel = 4;
    options.gifInterlaced = true;
    const std::string name = SavePicture(picture, dir.file("a.GIF"), options);
    EXPECT_EQ(name, dir.file("a.GIF"));
    const std::string bytes = test::readFile(name);
    TIOParams params = withLZW();
    params.BitsPerPixel = 4;
    params.Interlaced = 1;
    const std::vector<uint8_t> expected = writeGif(picture, params);
    EXPECT_EQ(bytes, std::string(expected.begin(), expected.end()));
    const test::GiflibPicture g =
        test::decodeWithGiflib(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    ASSERT_EQ(g.error, 0);
    EXPECT_EQ(g.colorCount, 16);
    EXPECT_TRUE(g.interlaced);

    // Bits the writer refuses leave an existing file alone.
    test::writeFile(name, "keep");
    options.gifBitsPerPixel = 9;
    EXPECT_THROW(SavePicture(picture, name, options), Error);
    EXPECT_EQ(test::readFile(name), "keep");
}

TEST(SavePicture, WithoutAnInstalledCompressorFailsAndKeepsTheOldFile)
{
    test::TempDir dir;
    const std::string name = dir.file("kept.gif");
    test::writeFile(name, "keep");
    SaveOptions options;
    options.gifCompressor = nullptr;
    try {
        SavePicture(test::makeFPicture(12, 9), name, options);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "LZW compressor not found");
    }
    EXPECT_EQ(test::readFile(name), "keep");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace lumavex
