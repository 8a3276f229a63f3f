#include "formats/jpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include <jpeglib.h>

#include "core/error.h"
#include "error_checks.h"
#include "support/bounded_run.h"
#include "support/process.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

struct JpegOptions {
    J_COLOR_SPACE input = JCS_RGB;
    J_COLOR_SPACE stored = JCS_YCbCr;
    int components = 3;
    bool adobe = true;  // libjpeg writes an Adobe marker for CMYK and YCCK
    bool progressive = false;
    int quality = 90;
    std::vector<jpeg_scan_info> scans;  // a scan script of its own, for one component
};

/// Compresses samples with libjpeg itself, for the kinds of file the writer does not make.
std::vector<uint8_t> libjpegEncode(const std::vector<uint8_t>& samples, int w, int h,
                                   const JpegOptions& o)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = o.components;
    c.in_color_space = o.input;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, o.stored);
    c.write_Adobe_marker = o.adobe;
    jpeg_set_quality(&c, o.quality, TRUE);
    if (o.progressive)
        jpeg_simple_progression(&c);
    if (!o.scans.empty()) {
        c.scan_info = o.scans.data();
        c.num_scans = static_cast<int>(o.scans.size());
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples[size_t(c.next_scanline) * w * o.components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> file(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return file;
}

struct Decoded {
    int width = 0;
    int height = 0;
    int components = 0;
    bool adobe = false;
    std::vector<uint8_t> samples;
};

/// Decompresses with libjpeg itself into the given colour space.
Decoded libjpegDecode(const std::vector<uint8_t>& file, J_COLOR_SPACE out)
{
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), file.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = out;
    jpeg_start_decompress(&d);
    Decoded r{static_cast<int>(d.output_width),
              static_cast<int>(d.output_height),
              d.output_components,
              static_cast<bool>(d.saw_Adobe_marker),
              {}};
    r.samples.resize(size_t(r.width) * r.height * r.components);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = &r.samples[size_t(d.output_scanline) * r.width * r.components];
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return r;
}

std::vector<uint8_t> encode(const Raster& picture, int quality = kDefaultJpegQuality)
{
    MemoryOutput out;
    WriteJPEG(out, picture, quality);
    return out.bytes();
}

/// The picture as red, green, blue samples without padding.
std::vector<uint8_t> rgbSamples(const Raster& picture)
{
    std::vector<uint8_t> s;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const uint8_t* p = picture.row(y) + 3 * x;
            s.insert(s.end(), {p[2], p[1], p[0]});
        }
    return s;
}

void expectEqualsRgb(const Raster& got, const Decoded& reference)
{
    ASSERT_EQ(got.width(), reference.width);
    ASSERT_EQ(got.height(), reference.height);
    ASSERT_EQ(rgbSamples(got), reference.samples);
}

ErrorKind kindOf(std::span<const uint8_t> bytes)
{
    return test::kindOf([&] { ReadJPEG(bytes); });
}

/// A smooth picture with some edges, of a size that is no multiple of the 16-pixel blocks.
Raster photoLike(int w, int h)
{
    Raster picture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y,
                             makeColor(x * 255 / w, y * 255 / h, (x + y) % 40 < 20 ? 40 : 210));
    return picture;
}

TEST(JPEG, WriterMatchesCjpegByteForByte)
{
    test::TempDir dir;
    for (const Raster& picture : {photoLike(67, 45), test::makeFPicture(40, 32)}) {
        const std::vector<uint8_t> rgb = rgbSamples(picture);
        std::string ppm = "P6\n" + std::to_string(picture.width()) + " " +
                          std::to_string(picture.height()) + "\n255\n";
        ppm.append(rgb.begin(), rgb.end());
        test::writeFile(dir.file("in.ppm"), ppm);
        for (int quality : {75, 90}) {
            const test::RunResult r =
                test::runProgram({"/usr/bin/cjpeg", "-quality", std::to_string(quality), "-outfile",
                                  dir.file("cjpeg.jpg"), dir.file("in.ppm")});
            ASSERT_EQ(r.status, 0) << r.err;
            const std::string theirs = test::readFile(dir.file("cjpeg.jpg"));
            const std::vector<uint8_t> ours = encode(picture, quality);
            EXPECT_EQ(std::string(ours.begin(), ours.end()), theirs) << "quality " << quality;
        }
    }
}

TEST(JPEG, ReaderMatchesDjpeg)
{
    test::TempDir dir;
    const Raster picture = photoLike(53, 37);
    const std::vector<uint8_t> rgb = rgbSamples(picture);
    JpegOptions progressive;
    progressive.progressive = true;
    const std::vector<std::vector<uint8_t>> files = {
        encode(picture),
        libjpegEncode(rgb, 53, 37, progressive),
    };
    for (const auto& file : files) {
        test::writeFile(dir.file("in.jpg"), std::string(file.begin(), file.end()));
        const test::RunResult r = test::runProgram(
            {"/usr/bin/djpeg", "-ppm", "-outfile", dir.file("out.ppm"), dir.file("in.jpg")});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string ppm = test::readFile(dir.file("out.ppm"));
        const std::string header = "P6\n53 37\n255\n";
        ASSERT_EQ(ppm.substr(0, header.size()), header);
        const Raster got = ReadJPEG(file);
        const std::vector<uint8_t> samples = rgbSamples(got);
        EXPECT_EQ(std::string(samples.begin(), samples.end()), ppm.substr(header.size()));
    }
}

TEST(JPEG, RoundTripKeepsThePictureAndItsChannels)
{
    const Raster picture = test::makeFPicture(40, 32);
    const std::vector<uint8_t> file = encode(picture);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xD8);
    const Decoded reference = libjpegDecode(file, JCS_RGB);
    EXPECT_EQ(reference.width, 40);
    EXPECT_EQ(reference.height, 32);
    const Raster got = ReadJPEG(file);
    expectEqualsRgb(got, reference);
    // Away from the edges the colours hold: blue background, red F.
    EXPECT_GT(blueOf(got.pixel(1, 16)), 230);
    EXPECT_LT(redOf(got.pixel(1, 16)), 25);
    EXPECT_GT(redOf(got.pixel(10, 16)), 200);
    EXPECT_LT(blueOf(got.pixel(10, 16)), 60);
}

TEST(JPEG, RoundTripOfASmoothPictureIsClose)
{
    Raster picture(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixel(x, y, makeColor(x * 4, y * 5, 255 - x * 2 - y));
    const Raster got = ReadJPEG(encode(picture));
    int64_t error = 0;
    for (int y = 0; y < 48; ++y)
        for (int i = 0; i < 64 * 3; ++i)
            error += std::abs(got.row(y)[i] - picture.row(y)[i]);
    EXPECT_LE(error / (64 * 48 * 3), 1);
}

TEST(JPEG, GreyScaleFilesFillAllThreeChannels)
{
    std::vector<uint8_t> grey(31 * 19);
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<uint8_t>(i * 7);
    JpegOptions o;
    o.input = o.stored = JCS_GRAYSCALE;
    o.components = 1;
    const std::vector<uint8_t> file = libjpegEncode(grey, 31, 19, o);
    const Decoded reference = libjpegDecode(file, JCS_GRAYSCALE);
    const Raster got = ReadJPEG(file);
    ASSERT_EQ(got.width(), 31);
    ASSERT_EQ(got.height(), 19);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 31; ++x) {
            const uint8_t v = reference.samples[y * 31 + x];
            ASSERT_EQ(got.pixel(x, y), makeColor(v, v, v)) << x << "," << y;
        }
}

TEST(JPEG, CmykAndYcckFilesAreConvertedThroughTheirInks)
{
    const int w = 24;
    const int h = 17;
    std::vector<uint8_t> cmyk(size_t(w) * h * 4);
    std::mt19937 random(3);
    for (size_t i = 0; i < cmyk.size(); ++i)
        cmyk[i] = static_cast<uint8_t>((i / 4 % w) * 10 + random() % 8);
    struct Kind {
        J_COLOR_SPACE stored;
        bool adobe;
    };
    for (const Kind kind : {Kind{JCS_CMYK, true}, Kind{JCS_YCCK, true}, Kind{JCS_CMYK, false}}) {
        JpegOptions o;
        o.input = JCS_CMYK;
        o.stored = kind.stored;
        o.components = 4;
        o.adobe = kind.adobe;
        const std::vector<uint8_t> file = libjpegEncode(cmyk, w, h, o);
        const Decoded inks = libjpegDecode(file, JCS_CMYK);
        ASSERT_EQ(inks.adobe, kind.adobe);
        const Raster got = ReadJPEG(file);
        // Adobe's inks are stored inverted: channel = ink x black / 255; others are not.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* s = &inks.samples[(size_t(y) * w + x) * 4];
                auto channel = [&](int ink) {
                    const int flip = kind.adobe ? 0 : 255;
                    return ((s[ink] ^ flip) * (s[3] ^ flip) + 127) / 255;
                };
                ASSERT_EQ(got.pixel(x, y), makeColor(channel(0), channel(1), channel(2)))
                    << x << "," << y << " stored " << kind.stored;
            }
    }
    // A pure ink: cyan at full strength (inverted 0) with no black (inverted 255) is cyan.
    std::vector<uint8_t> cyan(8 * 8 * 4);
    for (size_t i = 0; i < cyan.size(); i += 4) {
        cyan[i] = 0;
        cyan[i + 1] = cyan[i + 2] = cyan[i + 3] = 255;
    }
    JpegOptions o;
    o.input = o.stored = JCS_CMYK;
    o.components = 4;
    o.quality = 100;
    const Color c = ReadJPEG(libjpegEncode(cyan, 8, 8, o)).pixel(4, 4);
    EXPECT_LT(redOf(c), 3);
    EXPECT_GT(greenOf(c), 252);
    EXPECT_GT(blueOf(c), 252);
}

TEST(JPEG, TruncationIsRefusedButAMissingEndMarkerIsNot)
{
    const Raster picture = test::makeNoise(48, 40, 11);
    JpegOptions progressive;
    progressive.progressive = true;
    for (const auto& file :
         {encode(picture), libjpegEncode(rgbSamples(picture), 48, 40, progressive)}) {
        ASSERT_EQ(file[file.size() - 2], 0xFF);
        ASSERT_EQ(file.back(), 0xD9);
        const std::vector<uint8_t> noEnd(file.begin(), file.end() - 2);
        EXPECT_TRUE(ReadJPEG(noEnd).samePixels(ReadJPEG(file)));
        for (size_t keep : {file.size() / 2, file.size() - 40, size_t{200}}) {
            const std::vector<uint8_t> cut(file.begin(), file.begin() + keep);
            EXPECT_EQ(kindOf(cut), ErrorKind::Format) << keep << " of " << file.size();
        }
    }
}

TEST(JPEG, HostileFilesGiveClearErrors)
{
    const std::vector<uint8_t> good = encode(photoLike(32, 24));
    auto withSize = [&](int w, int h) {
        std::vector<uint8_t> b = good;
        for (size_t i = 2; i + 9 < b.size(); ++i)
            if (b[i] == 0xFF && b[i + 1] == 0xC0) {
                b[i + 5] = static_cast<uint8_t>(h >> 8);
                b[i + 6] = static_cast<uint8_t>(h);
                b[i + 7] = static_cast<uint8_t>(w >> 8);
                b[i + 8] = static_cast<uint8_t>(w);
                return b;
            }
        ADD_FAILURE() << "no SOF0 marker";
        return b;
    };
    EXPECT_EQ(kindOf({}), ErrorKind::Format);
    const std::string text = "this is not a JPEG file";
    EXPECT_EQ(kindOf(std::vector<uint8_t>(text.begin(), text.end())), ErrorKind::Format);
    EXPECT_EQ(kindOf(std::vector<uint8_t>{0xFF, 0xD8}), ErrorKind::Format);
    EXPECT_EQ(kindOf(withSize(65000, 65000)), ErrorKind::TooLarge);
    EXPECT_EQ(kindOf(withSize(32, 0)), ErrorKind::Format);
    EXPECT_EQ(kindOf(withSize(0, 24)), ErrorKind::Format);
    // A larger size than the data holds: the rows run dry.
    EXPECT_EQ(kindOf(withSize(320, 240)), ErrorKind::Format);

    std::mt19937 random(5);
    for (int k = 0; k < 400; ++k) {
        std::vector<uint8_t> b = good;
        for (int n = 0; n < 3; ++n)
            b[random() % b.size()] = static_cast<uint8_t>(random());
        b.resize(b.size() - random() % 64);
        try {
            const Raster r = ReadJPEG(b);
            EXPECT_GT(r.width(), 0);
        } catch (const Error& e) {
            EXPECT_TRUE(e.kind() == ErrorKind::Format || e.kind() == ErrorKind::TooLarge)
                << e.what();
        }
    }
}

/// A grey progressive script of 1 + 63 x 10 scans: every coefficient alone, refined bit by bit.
std::vector<jpeg_scan_info> manyScans()
{
    std::vector<jpeg_scan_info> scans{{1, {0}, 0, 0, 0, 0}};
    for (int k = 1; k < 64; ++k) {
        scans.push_back({1, {0}, k, k, 0, 9});
        for (int al = 8; al >= 0; --al)
            scans.push_back({1, {0}, k, k, al + 1, al});
    }
    return scans;
}

/// The file with the size in its first frame header replaced.
std::vector<uint8_t> resized(std::vector<uint8_t> b, int w, int h)
{
    for (size_t i = 2; i + 9 < b.size(); ++i)
        if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2)) {
            b[i + 5] = static_cast<uint8_t>(h >> 8);
            b[i + 6] = static_cast<uint8_t>(h);
            b[i + 7] = static_cast<uint8_t>(w >> 8);
            b[i + 8] = static_cast<uint8_t>(w);
            return b;
        }
    ADD_FAILURE() << "no frame header";
    return b;
}

TEST(JPEG, HostileProgressiveFilesAreRefusedInBoundedTimeAndMemory)
{
    const std::vector<uint8_t> grey(32 * 32, 128);
    JpegOptions many;
    many.input = many.stored = JCS_GRAYSCALE;
    many.components = 1;
    many.scans = manyScans();
    const std::vector<uint8_t> scanBomb = libjpegEncode(grey, 32, 32, many);
    try {
        ReadJPEG(scanBomb);
        ADD_FAILURE() << "631 scans read";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Format);
        EXPECT_NE(std::string(e.what()).find("スキャン"), std::string::npos) << e.what();
    }
    JpegOptions progressiveGrey = many;
    progressiveGrey.scans.clear();
    progressiveGrey.progressive = true;
    JpegOptions progressiveCmyk;
    progressiveCmyk.input = progressiveCmyk.stored = JCS_CMYK;
    progressiveCmyk.components = 4;
    progressiveCmyk.progressive = true;
    const std::vector<uint8_t> inks(32 * 32 * 4, 60);
    // Small files that claim 18900 x 18900: the data runs out at once; the CMYK one would need
    // 2.9 GB of coefficients.
    const std::vector<std::pair<std::vector<uint8_t>, ErrorKind>> files = {
        {resized(libjpegEncode(grey, 32, 32, progressiveGrey), 18900, 18900), ErrorKind::Format},
        {resized(scanBomb, 18900, 18900), ErrorKind::Format},
        {resized(libjpegEncode(inks, 32, 32, progressiveCmyk), 18900, 18900), ErrorKind::TooLarge},
    };
    for (const auto& [file, kind] : files) {
        const test::BoundedResult r = test::runBounded([&] {
            try {
                ReadJPEG(file);
                return 1;
            } catch (const Error& e) {
                return e.kind() == kind ? 0 : 2;
            }
        });
        EXPECT_EQ(r.exitCode, 0) << file.size();
        EXPECT_LT(r.seconds, test::kHostileSecondsLimit) << file.size();
        EXPECT_LT(r.peakBytes, test::kHostileBytesLimit) << file.size();
    }
}

TEST(JPEG, WriterRefusesBadQualityAndPassesStreamErrorsOn)
{
    const Raster picture = test::makeNoise(300, 200, 1);
    MemoryOutput out;
    for (int quality : {0, -5, 101}) {
        try {
            WriteJPEG(out, picture, quality);
            ADD_FAILURE() << quality;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::BadArgument);
        }
    }
    EXPECT_TRUE(out.bytes().empty());
    const size_t whole = encode(picture).size();
    // Nothing fits, or the first buffer does and a later one does not.
    for (size_t room : {size_t{0}, whole - 1000})
        test::expectStreamErrorPassedOn(room, [&](OutputStream& s) { WriteJPEG(s, picture); });
}

}  // namespace
}  // namespace lumavex
