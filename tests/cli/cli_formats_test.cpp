// lumavex-fx on every picture format it reads and writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "commands/command_table.h"
#include "core/raster.h"
#include "formats/jpeg.h"
#include "formats/picture_io.h"
#include "formats/png_codec.h"
#include "support/fx_runner.h"
#include "support/test_pictures.h"
#include "toolkit/resample.h"

namespace lumavex {
namespace {

using test::fx;
using test::RunResult;

class CliFormats : public test::FxTest {
protected:
    const Raster picture = test::makeFPicture(24, 18);
};

TEST_F(CliFormats, ConvertsBetweenFormatsByExtension)
{
    SavePicture(picture, dir.file("in.png"));
    ASSERT_EQ(fx({"hflip", dir.file("in.png"), dir.file("out.jpg")}).status, 0);
    ASSERT_EQ(fx({"hflip", dir.file("out.jpg"), dir.file("back.PNG")}).status, 0);
    EXPECT_EQ(test::readFile(dir.file("out.jpg")).substr(0, 2), "\xFF\xD8");
    // Flipped twice through JPEG: the F is back where it was, give or take the compression.
    const Raster back = LoadPicture(dir.file("back.PNG"));
    ASSERT_EQ(back.width(), 24);
    EXPECT_GT(redOf(back.pixel(6, 9)), 180);
    EXPECT_GT(blueOf(back.pixel(22, 9)), 180);

    ASSERT_EQ(fx({"save", dir.file("in.png"), dir.file("copy.jpeg")}).status, 0);
    const RunResult colors = fx({"num-colors", dir.file("in.png")});
    EXPECT_EQ(colors.out, "ColorCount=2\n");
    EXPECT_TRUE(LoadPicture(dir.file("copy.jpeg")).width() == 24);
    // JPEG to JPEG, the encoder overlapping the decoder: the bytes of loading then saving.
    ASSERT_EQ(fx({"save", "--quality", "40", dir.file("copy.jpeg"), dir.file("again.jpg")}).status,
              0);
    SaveOptions forty;
    forty.quality = 40;
    SavePicture(LoadPicture(dir.file("copy.jpeg")), dir.file("expected.jpg"), forty);
    EXPECT_EQ(test::readFile(dir.file("again.jpg")), test::readFile(dir.file("expected.jpg")));

    // The commands that follow the decoder down the picture write what the whole-picture
    // command writes.
    SavePicture(test::makeNoise(97, 61, 4), dir.file("noise.jpg"));
    for (CommandId id : {CommandId::Blur, CommandId::Gray, CommandId::Negative, CommandId::HFlip}) {
        const std::string name = commandInfo(id).name;
        ASSERT_EQ(fx({name, dir.file("noise.jpg"), dir.file("streamed.jpg")}).status, 0);
        Raster picture = LoadPicture(dir.file("noise.jpg")), scratch;
        CommandPictures pictures{picture, picture, scratch};
        runCommand(id, NoSettings{}, pictures);
        SavePicture(picture, dir.file("whole.jpg"));
        EXPECT_EQ(test::readFile(dir.file("streamed.jpg")), test::readFile(dir.file("whole.jpg")))
            << name;
    }
    ASSERT_EQ(fx({"resample", "--width", "50", "--height", "140", dir.file("noise.jpg"),
                  dir.file("streamed.jpg")})
                  .status,
              0);
    Raster picture = LoadPicture(dir.file("noise.jpg"));
    Resample(picture, 50, 140);
    SavePicture(picture, dir.file("whole.jpg"));
    EXPECT_EQ(test::readFile(dir.file("streamed.jpg")), test::readFile(dir.file("whole.jpg")));
    // Settings the command refuses are told as before, after the picture is read.
    const RunResult zero = fx({"resample", "--width", "0", "--height", "140", dir.file("noise.jpg"),
                               dir.file("refused.jpg")});
    EXPECT_EQ(zero.status, 2);
    EXPECT_NE(zero.err.find("幅"), std::string::npos) << zero.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("refused.jpg")));
}

TEST_F(CliFormats, ReadsIconsButDoesNotWriteThem)
{
    // A one-image icon holding a PNG.
    MemoryOutput png;
    WritePNG(png, picture);
    std::string ico("\0\0\1\0\1\0", 6);
    ico += std::string("\0\0\0\0\1\0\x20\0", 8);
    const uint32_t size = static_cast<uint32_t>(png.bytes().size());
    for (uint32_t v : {size, 22u})
        for (int i = 0; i < 4; ++i)
            ico += static_cast<char>(v >> (8 * i));
    ico.append(png.bytes().begin(), png.bytes().end());
    test::writeFile(dir.file("in.ico"), ico);

    EXPECT_EQ(fx({"num-colors", dir.file("in.ico")}).out, "ColorCount=2\n");
    ASSERT_EQ(fx({"vflip", dir.file("in.ico"), dir.file("out.bmp")}).status, 0);
    const Raster got = LoadPicture(dir.file("out.bmp"));
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(got.pixel(x, y), picture.pixel(x, 17 - y));

    const RunResult refused = fx({"save", dir.file("in.ico"), dir.file("out.ico")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.ico")));
}

TEST_F(CliFormats, UnreadableInputsGiveOneLineAndExitTwo)
{
    test::writeFile(dir.file("m.emf"), "metafile bytes");
    test::writeFile(dir.file("t.jpg"), "\xFF\xD8\xFF\xE0 cut short");
    test::writeFile(dir.file("t.png"), "\x89PNG\r\n\x1A\n cut short");
    test::writeFile(dir.file("old.png"), "old output");
    ASSERT_EQ(mkfifo(dir.file("fifo.png").c_str(), 0600), 0);  // would block a plain open
    for (const char* name : {"m.emf", "t.jpg", "t.png", "missing.jpg", "fifo.png"}) {
        const RunResult r = fx({"gray", dir.file(name), dir.file("old.png")});
        test::expectOneLineRefusal(r, name);
        EXPECT_EQ(r.err.rfind("lumavex-fx: " + dir.file(name) + ": ", 0), 0u) << r.err;
        EXPECT_EQ(test::readFile(dir.file("old.png")), "old output");
    }
    EXPECT_NE(fx({"gray", dir.file("m.emf"), dir.file("x.bmp")}).err.find("メタファイル"),
              std::string::npos);
}

TEST_F(CliFormats, AWriteThatFailsHalfwayKeepsTheOldOutput)
{
    SavePicture(test::makeNoise(300, 300, 5), dir.file("big.bmp"));
    test::writeFile(dir.file("out.bmp"), "old output");
    // The shell ignores the file-size signal, so the write fails with an error instead.
    const RunResult r =
        test::runProgram({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 64; exec \"$0\" \"$@\"",
                          LUMAVEX_FX, "negative", dir.file("big.bmp"), dir.file("out.bmp")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.err.rfind("lumavex-fx: " + dir.file("out.bmp") + ": ", 0), 0u) << r.err;
    EXPECT_EQ(test::readFile(dir.file("out.bmp")), "old output");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

}  // namespace
}  // namespace lumavex
