#include "formats/gif_read.h"

#include <gtest/gtest.h>

#include <random>

#include <gif_lib.h>

#include "core/error.h"
#include "error_checks.h"
#include "support/bounded_run.h"

namespace lumavex {
namespace {

struct Frame {
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    bool interlaced = false;
    std::vector<GifColorType> localColors;  // none: the global table
    int transparent = NO_TRANSPARENT_COLOR;
    std::vector<std::vector<GifPixelType>> rows;  // top to bottom
};

int appendBytes(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

/// A GIF file as giflib writes it.
std::vector<uint8_t> makeGif(int width, int height, const std::vector<GifColorType>& globalColors,
                             const std::vector<Frame>& frames)
{
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global =
        globalColors.empty()
            ? nullptr
            : GifMakeMapObject(static_cast<int>(globalColors.size()), globalColors.data());
    EGifPutScreenDesc(gif, width, height, 8, 0, global);
    for (const Frame& f : frames) {
        if (f.transparent != NO_TRANSPARENT_COLOR) {
            GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, f.transparent};
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        }
        ColorMapObject* local =
            f.localColors.empty()
                ? nullptr
                : GifMakeMapObject(static_cast<int>(f.localColors.size()), f.localColors.data());
        // giflib drops an earlier image's table without freeing it when this one has none.
        if (!local && gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local);
        std::vector<int> order;
        if (f.interlaced) {
            for (auto [first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = first; y < f.height; y += step)
                    order.push_back(y);
        } else {
            for (int y = 0; y < f.height; ++y)
                order.push_back(y);
        }
        for (int y : order) {
            std::vector<GifPixelType> row = f.rows[y];
            EGifPutLine(gif, row.data(), f.width);
        }
        GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    return out;
}

const std::vector<GifColorType> kColors = {
    {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}, {1, 2, 3}, {9, 9, 9}, {7, 7, 7},
};

Color colorOf(const GifColorType& c)
{
    return makeColor(c.Red, c.Green, c.Blue);
}

ErrorKind kindOf(const std::vector<uint8_t>& bytes)
{
    return test::kindOf([&] { ReadGIF(bytes); });
}

TEST(GIFRead, FirstFrameOnItsScreenWithTransparencyWhite)
{
    Frame first;
    first.left = 2;
    first.top = 1;
    first.width = 3;
    first.height = 2;
    first.transparent = 0;
    first.localColors = {{9, 8, 7}, {50, 60, 70}, {200, 100, 0}, {1, 1, 1}};
    first.rows = {{1, 0, 2}, {3, 2, 1}};
    Frame second;
    second.width = 6;
    second.height = 4;
    second.rows = std::vector<std::vector<GifPixelType>>(4, std::vector<GifPixelType>(6, 1));
    const Raster got = ReadGIF(makeGif(6, 4, kColors, {first, second}));
    ASSERT_EQ(got.width(), 6);
    ASSERT_EQ(got.height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            Color want = kWhite;
            if (x >= 2 && x < 5 && y >= 1 && y < 3) {
                const int index = first.rows[y - 1][x - 2];
                if (index != 0)
                    want = colorOf(first.localColors[index]);
            }
            EXPECT_EQ(got.pixel(x, y), want) << x << "," << y;
        }
}

TEST(GIFRead, InterlacedRowsLandInPlace)
{
    Frame f;
    f.width = 2;
    f.height = 11;
    f.interlaced = true;
    for (int y = 0; y < 11; ++y)
        f.rows.push_back({static_cast<GifPixelType>(y % 8), static_cast<GifPixelType>(7 - y % 8)});
    const Raster got = ReadGIF(makeGif(2, 11, kColors, {f}));
    for (int y = 0; y < 11; ++y) {
        EXPECT_EQ(got.pixel(0, y), colorOf(kColors[y % 8])) << y;
        EXPECT_EQ(got.pixel(1, y), colorOf(kColors[7 - y % 8])) << y;
    }
}

TEST(GIFRead, TheScreenGrowsToHoldTheImage)
{
    Frame f;
    f.left = 1;
    f.top = 1;
    f.width = 4;
    f.height = 3;
    f.rows = std::vector<std::vector<GifPixelType>>(3, {3, 3, 3, 3});
    const Raster got = ReadGIF(makeGif(2, 2, kColors, {f}));
    EXPECT_EQ(got.width(), 5);
    EXPECT_EQ(got.height(), 4);
    EXPECT_EQ(got.pixel(0, 0), kWhite);
    EXPECT_EQ(got.pixel(4, 3), makeColor(0, 0, 255));
}

TEST(GIFRead, HostileFilesGiveClearErrors)
{
    Frame f;
    f.width = 4;
    f.height = 3;
    f.rows = {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 1, 3, 3}};
    const std::vector<GifColorType> four(kColors.begin(), kColors.begin() + 4);
    const std::vector<uint8_t> good = makeGif(4, 3, four, {f});
    ASSERT_NO_THROW(ReadGIF(good));

    EXPECT_EQ(kindOf({}), ErrorKind::Format);
    EXPECT_EQ(kindOf({'G', 'I', 'F', '8', '9', 'a'}), ErrorKind::Format);
    const std::string text = "JFIF, not a GIF";
    EXPECT_EQ(kindOf({text.begin(), text.end()}), ErrorKind::Format);
    EXPECT_EQ(kindOf({good.begin(), good.begin() + good.size() - 8}), ErrorKind::Format);
    EXPECT_EQ(kindOf(makeGif(4, 3, four, {})), ErrorKind::Format);  // no image
    EXPECT_EQ(kindOf(makeGif(4, 3, {}, {f})), ErrorKind::Format);   // no colour table

    // The same pixels with the global table cut to two colours: indexes 2 and 3 are beyond it.
    std::vector<uint8_t> cut = good;
    ASSERT_EQ(cut[10] & 0x87, 0x81);  // a global table of 2^(1 + 1) colours
    cut[10] = static_cast<uint8_t>((cut[10] & ~7) | 0);
    cut.erase(cut.begin() + 13 + 6, cut.begin() + 13 + 12);
    EXPECT_EQ(kindOf(cut), ErrorKind::Format);

    // A 60 KB file claiming a 20000 x 17000 image (at most 80 M pixels of LZW in it) is refused
    // before a 1 GB picture is made.
    std::vector<uint8_t> claim = good;
    claim.resize(claim.size() - 1);  // no trailer
    claim.insert(claim.end(), 60000, 0);
    for (size_t at : {6, 13 + 12 + 5}) {  // the screen, then the image descriptor
        claim[at] = 20000 & 0xFF;
        claim[at + 1] = 20000 >> 8;
        claim[at + 2] = 17000 & 0xFF;
        claim[at + 3] = 17000 >> 8;
    }
    ASSERT_EQ(claim[13 + 12], 0x2C);
    const test::BoundedResult r =
        test::runBounded([&] { return kindOf(claim) == ErrorKind::Format ? 0 : 1; });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_LT(r.extraBytes, uint64_t{64} << 20);

    std::mt19937 random(4);
    for (int k = 0; k < 1000; ++k) {
        std::vector<uint8_t> b = good;
        for (int n = 0; n < 3; ++n)
            b[random() % b.size()] = static_cast<uint8_t>(random());
        b.resize(b.size() - random() % 8);
        try {
            EXPECT_GT(ReadGIF(b).width(), 0);
        } catch (const Error& e) {
            EXPECT_TRUE(e.kind() == ErrorKind::Format || e.kind() == ErrorKind::TooLarge)
                << e.what();
        }
    }
}

}  // namespace
}  // namespace lumavex
