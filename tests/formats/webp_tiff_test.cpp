#include <gtest/gtest.h>

#include <fstream>
#include <tiffio.h>
#include <webp/encode.h>

#include "core/error.h"
#include "error_checks.h"
#include "formats/over_white.h"
#include "formats/picture_io.h"
#include "formats/stream.h"
#include "formats/tiff.h"
#include "formats/webp.h"
#include "support/process.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

using test::kindOf;
using test::TempDir;

std::vector<uint8_t> fileBytes(const std::string& name)
{
    return readWholeFile(name);
}

void writeBytes(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> encoded(const Raster& picture, void (*write)(OutputStream&, const Raster&))
{
    MemoryOutput out;
    write(out, picture);
    return out.bytes();
}

TEST(WebP, LosslessRoundTripsExactlyAndDwebpAgrees)
{
    const Raster picture = test::makeGradient(37, 23);
    MemoryOutput out;
    WriteWebP(out, picture, 75, true);
    EXPECT_TRUE(ReadWebP(out.bytes()).samePixels(picture));

    // libwebp's own decoder gives the same pixels: through PPM, which the BMP-free path reads.
    TempDir dir;
    writeBytes(dir.file("a.webp"), out.bytes());
    const auto run =
        test::runProgram({"/usr/bin/dwebp", dir.file("a.webp"), "-bmp", "-o", dir.file("a.bmp")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(LoadPicture(dir.file("a.bmp")).samePixels(picture));
}

TEST(WebP, LossyFollowsItsQualityAndCwebpFilesRead)
{
    const Raster picture = test::makeNoise(64, 48, 7);
    MemoryOutput low, high;
    WriteWebP(low, picture, 5, false);
    WriteWebP(high, picture, 95, false);
    EXPECT_LT(low.bytes().size(), high.bytes().size());
    const Raster back = ReadWebP(high.bytes());
    EXPECT_EQ(back.width(), 64);
    EXPECT_EQ(back.height(), 48);
    EXPECT_EQ(kindOf([&] { WriteWebP(low, picture, 0, false); }), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf([&] { WriteWebP(low, Raster(16384, 1), 75, true); }), ErrorKind::TooLarge);

    TempDir dir;
    SavePicture(test::makeFPicture(40, 30), dir.file("f.png"));
    const auto run = test::runProgram(
        {"/usr/bin/cwebp", "-quiet", "-lossless", dir.file("f.png"), "-o", dir.file("f.webp")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(LoadPicture(dir.file("f.webp")).samePixels(test::makeFPicture(40, 30)));
}

TEST(WebP, AlphaLiesOverWhiteAndDamageIsRefused)
{
    // Two pixels: red at alpha 128, transparent blue.
    const uint8_t rgba[] = {255, 0, 0, 128, 0, 0, 255, 0};
    uint8_t* bytes = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(rgba, 2, 1, 8, &bytes);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> file(bytes, bytes + size);
    WebPFree(bytes);
    const Raster picture = ReadWebP(file);
    EXPECT_EQ(picture.pixel(0, 0), makeColor(255, overWhite(0, 128), overWhite(0, 128)));
    EXPECT_EQ(picture.pixel(1, 0), makeColor(255, 255, 255));

    std::vector<uint8_t> truncated(file.begin(), file.begin() + static_cast<long>(file.size() / 2));
    EXPECT_EQ(kindOf([&] { ReadWebP(truncated); }), ErrorKind::Format);
    const std::vector<uint8_t> junk = {'R', 'I', 'F', 'F', 9, 0, 0, 0, 'W', 'E', 'B', 'P', 'V'};
    EXPECT_EQ(kindOf([&] { ReadWebP(junk); }), ErrorKind::Format);
}

/// A TIFF file written by libtiff itself: rows as the format packs them.
struct TiffPage {
    uint32_t width = 2, height = 1;
    uint16_t samples = 3, bits = 8, photometric = PHOTOMETRIC_RGB;
    uint16_t extra = 0;                   // EXTRASAMPLE_* of a fourth sample, 0 for none
    std::vector<uint16_t> colormap = {};  // red, green, blue tables of a palette page
    std::vector<uint8_t> rows = {};
};

std::vector<uint8_t> makeTiff(const std::string& name, const std::vector<TiffPage>& pages)
{
    TIFF* t = TIFFOpen(name.c_str(), "w");
    for (const TiffPage& p : pages) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, p.width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, p.samples);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.bits);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, p.photometric);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        if (p.photometric == PHOTOMETRIC_SEPARATED)
            TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
        if (p.extra) {
            const uint16_t kinds[] = {p.extra};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, kinds);
        }
        if (!p.colormap.empty()) {
            const size_t n = p.colormap.size() / 3;
            TIFFSetField(t, TIFFTAG_COLORMAP, p.colormap.data(), p.colormap.data() + n,
                         p.colormap.data() + 2 * n);
        }
        const size_t rowBytes = p.rows.size() / p.height;
        for (uint32_t y = 0; y < p.height; ++y)
            TIFFWriteScanline(t, const_cast<uint8_t*>(p.rows.data() + y * rowBytes), y, 0);
        TIFFWriteDirectory(t);
    }
    TIFFClose(t);
    return fileBytes(name);
}

TEST(Tiff, WritesEachCompressionThatTiffcpAndWeReadBack)
{
    const Raster picture = test::makeGradient(300, 40);
    TempDir dir;
    for (auto [compression, tag] :
         {std::pair{TiffCompression::None, "none"}, std::pair{TiffCompression::Lzw, "lzw"},
          std::pair{TiffCompression::Deflate, "zip"}}) {
        SaveOptions options;
        options.tiffCompression = compression;
        SavePicture(picture, dir.file("p.tif"), options);
        EXPECT_TRUE(LoadPicture(dir.file("p.tif")).samePixels(picture)) << tag;
        // libtiff's own copier reads our file and writes one of its own that we read alike.
        const auto run = test::runProgram({"/usr/bin/tiffcp", "-c", "none", dir.file("p.tif"),
                                           dir.file(std::string("c-") + tag + ".tif")});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(LoadPicture(dir.file(std::string("c-") + tag + ".tif")).samePixels(picture));
    }
}

TEST(Tiff, ReadsGreyPaletteSixteenBitCmykAlphaAndTheFirstPage)
{
    TempDir dir;
    auto read = [&](const std::vector<TiffPage>& pages) {
        return ReadTIFF(makeTiff(dir.file("t.tif"), pages));
    };
    TiffPage grey{.samples = 1, .photometric = PHOTOMETRIC_MINISBLACK, .rows = {0, 200}};
    Raster r = read({grey});
    EXPECT_EQ(r.pixel(0, 0), makeColor(0, 0, 0));
    EXPECT_EQ(r.pixel(1, 0), makeColor(200, 200, 200));

    TiffPage palette{.samples = 1, .bits = 8, .photometric = PHOTOMETRIC_PALETTE, .rows = {1, 0}};
    palette.colormap.assign(256 * 3, 0);
    palette.colormap[1] = 0xFFFF;        // red of entry 1
    palette.colormap[512 + 0] = 0x8080;  // blue of entry 0
    r = read({palette});
    EXPECT_EQ(r.pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(r.pixel(1, 0), makeColor(0, 0, 0x80));

    TiffPage deep{.bits = 16, .rows = {}};
    const uint16_t samples[] = {0xFFFF, 0x1234, 0x0000, 0x8000, 0x00FF, 0xABCD};
    deep.rows.assign(reinterpret_cast<const uint8_t*>(samples),
                     reinterpret_cast<const uint8_t*>(samples) + sizeof samples);
    r = read({deep});
    EXPECT_EQ(r.pixel(0, 0), makeColor(0xFF, 0x12, 0x00));
    EXPECT_EQ(r.pixel(1, 0), makeColor(0x80, scale16To8(0x00FF), 0xAB));  // rounded to nearest

    TiffPage cmyk{
        .samples = 4, .photometric = PHOTOMETRIC_SEPARATED, .rows = {255, 0, 0, 0, 0, 0, 0, 255}};
    r = read({cmyk});
    EXPECT_EQ(r.pixel(0, 0), makeColor(0, 255, 255));  // full cyan
    EXPECT_EQ(r.pixel(1, 0), makeColor(0, 0, 0));      // full black

    TiffPage alpha{
        .samples = 4, .extra = EXTRASAMPLE_UNASSALPHA, .rows = {255, 0, 0, 255, 0, 0, 255, 0}};
    r = read({alpha});
    EXPECT_EQ(r.pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(r.pixel(1, 0), makeColor(255, 255, 255));  // transparent lies white

    TiffPage second = grey;
    second.rows = {99, 99};
    r = read({grey, second});
    EXPECT_EQ(r.pixel(1, 0), makeColor(200, 200, 200));
}

TEST(Tiff, HostileHeadersAreRefusedBeforeAllocating)
{
    TempDir dir;
    // 70000 × 70000 claimed by a file of a few hundred bytes.
    TiffPage huge{.width = 70000,
                  .height = 70000,
                  .samples = 1,
                  .photometric = PHOTOMETRIC_MINISBLACK,
                  .rows = std::vector<uint8_t>(70000, 0)};
    huge.height = 1;
    std::vector<uint8_t> file = makeTiff(dir.file("h.tif"), {huge});
    // Patch the height tag's value in place: the file claims more rows than it has.
    TIFF* t = TIFFOpen(dir.file("h.tif").c_str(), "r+");
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 70000u);
    TIFFRewriteDirectory(t);
    TIFFClose(t);
    EXPECT_EQ(kindOf([&] { ReadTIFF(fileBytes(dir.file("h.tif"))); }), ErrorKind::TooLarge);

    const std::vector<uint8_t> good =
        encoded(test::makeGradient(50, 50),
                [](OutputStream& o, const Raster& p) { WriteTIFF(o, p, TiffCompression::Lzw); });
    for (size_t cut : {size_t{4}, size_t{8}, good.size() / 2, good.size() - 20}) {
        const std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<long>(cut));
        const ErrorKind kind = kindOf([&] { ReadTIFF(truncated); });
        EXPECT_TRUE(kind == ErrorKind::Format || kind == ErrorKind::Unsupported) << cut;
    }
    // Picture data that does not decode is refused, not shown as a picture with holes.
    std::vector<uint8_t> damaged = good;
    std::fill(damaged.begin() + 8, damaged.begin() + 72, uint8_t{0xFF});
    EXPECT_EQ(kindOf([&] { ReadTIFF(damaged); }), ErrorKind::Format);
}

TEST(PictureFiles, NamesThatLieOpenByTheirFirstBytesAndSavingFollowsTheName)
{
    TempDir dir;
    const Raster picture = test::makeFPicture(20, 10);
    for (const char* saved : {"a.png", "b.tif", "c.webp", "d.bmp", "e.gif"}) {
        const std::string written = SavePicture(picture, dir.file(saved), {});
        for (const char* alias : {"photo.jpg", "photo.png", "noextension", "photo.xyz"}) {
            std::filesystem::copy_file(written, dir.file(alias),
                                       std::filesystem::copy_options::overwrite_existing);
            EXPECT_EQ(LoadPicture(dir.file(alias)).width(), 20) << saved << " as " << alias;
        }
    }
    // A file that shows no known signature still goes to its extension's reader.
    writeBytes(dir.file("junk.png"), {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(kindOf([&] { LoadPicture(dir.file("junk.png")); }), ErrorKind::Format);
    writeBytes(dir.file("junk"), {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(kindOf([&] { LoadPicture(dir.file("junk")); }), ErrorKind::Unsupported);

    SavePicture(picture, dir.file("out.webp"));
    EXPECT_EQ(sniffedExtension(fileBytes(dir.file("out.webp"))), "webp");
    SavePicture(picture, dir.file("out.tiff"));
    EXPECT_EQ(sniffedExtension(fileBytes(dir.file("out.tiff"))), "tif");
}

}  // namespace
}  // namespace lumavex
