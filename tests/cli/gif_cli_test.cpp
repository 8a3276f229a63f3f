#include <gtest/gtest.h>

#include "formats/gif_writer.h"
#include "formats/picture_io.h"
#include "support/gif_decode.h"
#include "support/fx_runner.h"
#include "support/test_pictures.h"
#include "toolkit/color_reduction.h"
#include "toolkit/image_ops.h"

namespace lumavex {
namespace {

using test::fx;

std::vector<uint8_t> bytesOf(const std::string& fileName)
{
    const std::string s = test::readFile(fileName);
    return std::vector<uint8_t>(s.begin(), s.end());
}

class GifCli : public test::FxTest {
protected:
    void SetUp() override { SavePicture(picture, input); }
    Raster picture = test::makeNoise(41, 23, 5);
};

TEST_F(GifCli, SaveWritesWhatTheEditorWrites)
{
    const std::string gif = dir.file("out.gif");
    const test::RunResult r = fx({"save", input, gif});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    TIOParams params;
    params.Compressor = GIFLZWEncode;
    MemoryOutput expected;
    WriteGIFStream(expected, picture, params);
    EXPECT_EQ(bytesOf(gif), expected.bytes());
    const test::GiflibPicture g = test::decodeWithGiflib(bytesOf(gif));
    ASSERT_EQ(g.error, 0);
    EXPECT_EQ(g.colorCount, 256);
    EXPECT_FALSE(g.interlaced);
}

TEST_F(GifCli, SaveTakesBitsAndInterlacing)
{
    const std::string fInput = dir.file("f.bmp");
    const Raster f = test::makeFPicture(30, 20);
    SavePicture(f, fInput);
    const std::string gif = dir.file("f.gif");
    ASSERT_EQ(fx({"save", "--bits", "1", "--interlaced", fInput, gif}).status, 0);
    const test::GiflibPicture g = test::decodeWithGiflib(bytesOf(gif));
    ASSERT_EQ(g.error, 0);
    EXPECT_TRUE(g.interlaced);
    EXPECT_EQ(g.palette, (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(g.indices[y * 30 + x], f.pixel(x, y) == test::kTestRed ? 1 : 0);

    ASSERT_EQ(fx({"save", "--bits=5", input, gif}).status, 0);
    EXPECT_EQ(test::decodeWithGiflib(bytesOf(gif)).colorCount, 32);
}

TEST_F(GifCli, BadBitsAreRefusedAndTheOldFileKept)
{
    const std::string gif = dir.file("old.gif");
    test::writeFile(gif, "old");
    for (const char* bits : {"0", "9", "x", ""}) {
        const test::RunResult r = fx({"save", "--bits", bits, input, gif});
        EXPECT_EQ(r.status, 2) << bits;
        EXPECT_EQ(r.err.rfind("lumavex-fx: ", 0), 0u) << r.err;
        EXPECT_EQ(test::readFile(gif), "old");
    }
    EXPECT_EQ(fx({"save", "--bits", "x", input, gif}).err,
              "lumavex-fx: 'x' は整数ではありません\n");
}

TEST_F(GifCli, AnyCommandCanWriteGif)
{
    const std::string gif = dir.file("flipped.gif");
    ASSERT_EQ(fx({"hflip", input, gif}).status, 0);
    const test::GiflibPicture g = test::decodeWithGiflib(bytesOf(gif));
    ASSERT_EQ(g.error, 0);
    EXPECT_EQ(g.width, 41);
    EXPECT_EQ(g.height, 23);
}

TEST_F(GifCli, ConvertReducesTheColours)
{
    for (int count : {2, 16, 256, 32000, 64000}) {
        const std::string reduced = dir.file("reduced.bmp");
        const test::RunResult r =
            fx({"convert", "--colors", std::to_string(count), input, reduced});
        ASSERT_EQ(r.status, 0) << r.err;
        Raster expected = picture;
        ReduceColors(expected, count);
        EXPECT_TRUE(LoadPicture(reduced).samePixels(expected)) << count;
        const test::RunResult n = fx({"num-colors", reduced});
        EXPECT_EQ(n.out, "ColorCount=" + std::to_string(CountColors(expected)) + "\n");
    }
}

TEST_F(GifCli, ConvertTakesOnlyTheFiveCounts)
{
    for (const char* count : {"3", "0", "65536", "256x"}) {
        const test::RunResult r = fx({"convert", "--colors", count, input, output});
        EXPECT_EQ(r.status, 2) << count;
        EXPECT_FALSE(std::filesystem::exists(output));
    }
    EXPECT_EQ(fx({"convert", "--colors", "3", input, output}).err,
              "lumavex-fx: --colors は 2, 16, 256, 32000, 64000 のどれかです: 3\n");
    const test::RunResult missing = fx({"convert", input, output});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("--colors"), std::string::npos);
}

TEST_F(GifCli, NumColorsCountsDistinctColours)
{
    const test::RunResult r = fx({"num-colors", input});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ColorCount=" + std::to_string(CountColors(picture)) + "\n");
    SavePicture(Raster(7, 3, makeColor(1, 2, 3)), dir.file("one.bmp"));
    EXPECT_EQ(fx({"num-colors", dir.file("one.bmp")}).out, "ColorCount=1\n");
}

}  // namespace
}  // namespace lumavex
