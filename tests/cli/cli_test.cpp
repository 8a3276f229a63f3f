#include <algorithm>
#include <gtest/gtest.h>

#include "core/raster.h"
#include "formats/bmp.h"
#include "formats/picture_io.h"
#include "support/fx_runner.h"

namespace lumavex {
namespace {

using test::fx;
using test::RunResult;

class Cli : public test::FxTest {
protected:
    void SetUp() override { SavePicture(test::makeFPicture(20, 16), input); }
};

TEST_F(Cli, HelpListsTheCommands)
{
    const RunResult r = fx({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* name : {"hflip", "vflip", "negative", "gray", "resize", "save", "num-colors"})
        EXPECT_NE(r.out.find(name), std::string::npos) << name;
    const RunResult c = fx({"resize", "--help"});
    EXPECT_EQ(c.status, 0);
    EXPECT_NE(c.out.find("--width"), std::string::npos);
}

TEST_F(Cli, FlipWritesTheMirroredPicture)
{
    const RunResult r = fx({"hflip", input, output});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(r.err.empty());
    Raster expected = test::makeFPicture(20, 16);
    const Raster got = LoadPicture(output);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(got.pixel(x, y), expected.pixel(19 - x, y));
}

TEST_F(Cli, NumColorsPrintsTheCount)
{
    const RunResult r = fx({"num-colors", input});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ColorCount=2\n");
}

TEST_F(Cli, ResizeKeepsTheTopLeftAndAddsBlack)
{
    ASSERT_EQ(fx({"resize", "--width", "25", "--height=10", input, output}).status, 0);
    const Raster got = LoadPicture(output);
    EXPECT_EQ(got.width(), 25);
    EXPECT_EQ(got.height(), 10);
    EXPECT_EQ(got.pixel(24, 0), kBlack);
    EXPECT_EQ(got.pixel(0, 0), test::makeFPicture(20, 16).pixel(0, 0));
}

TEST_F(Cli, ANonIntegerIsReportedWithItsText)
{
    const RunResult r = fx({"resize", "--width", "12x", "--height", "5", input, output});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "lumavex-fx: '12x' は整数ではありません\n");
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(Cli, UsageErrorsExitTwoWithOneLine)
{
    const std::vector<std::vector<std::string>> bad = {
        {"no-such-command", input, output},
        {"hflip", input},
        {"hflip", input, output, "extra"},
        {"hflip", "--bogus", input, output},
        {"resize", "--width", "5", input, output},  // --height is required
        {"resize", "--width", input, output},
        {"save", "--bits", "9", input, output},
        {"resize", "--width", "0", "--height", "5", input, output},
        {"hflip", dir.file("missing.bmp"), output},
        {"hflip", input, dir.file("out.ico")},
        {"gray", input, ""},
        {"gray", input, dir.path().string() + "/"},
    };
    for (const auto& args : bad) {
        const RunResult r = fx(args);
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        test::expectOneLineRefusal(r, joined);
        EXPECT_FALSE(std::filesystem::exists(output)) << joined;
    }
}

TEST_F(Cli, AFailedRunLeavesAnExistingOutputAlone)
{
    test::writeFile(output, "old content");
    test::writeFile(dir.file("broken.bmp"), "BM not really a bitmap");
    EXPECT_EQ(fx({"hflip", dir.file("broken.bmp"), output}).status, 2);
    EXPECT_EQ(test::readFile(output), "old content");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              3);  // no temporary file left behind
}

TEST_F(Cli, OutputWithoutExtensionGetsBmp)
{
    ASSERT_EQ(fx({"vflip", input, dir.file("plain")}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("plain.bmp")));
}

TEST_F(Cli, ColoursByNameAndShortHexAreTheLongForm)
{
    ASSERT_EQ(fx({"add-shadow", "--color", "#FF8800", input, output}).status, 0);
    const std::string expected = test::readFile(output);
    for (const char* form : {"#f80", "#F80", "#ff8800"}) {
        ASSERT_EQ(fx({"add-shadow", "--color", form, input, output}).status, 0) << form;
        EXPECT_EQ(test::readFile(output), expected) << form;
    }
    ASSERT_EQ(fx({"add-shadow", "--color", "Navy", input, output}).status, 0);
    const std::string navy = test::readFile(output);
    ASSERT_EQ(fx({"add-shadow", "--color", "#000080", input, output}).status, 0);
    EXPECT_EQ(test::readFile(output), navy);
}

TEST_F(Cli, QualityChoosesTheJpegQualityOfEveryCommand)
{
    const std::string jpg = dir.file("out.jpg");
    SavePicture(test::makeNoise(64, 48, 7), input);
    ASSERT_EQ(fx({"hflip", input, jpg}).status, 0);
    const std::string standard = test::readFile(jpg);
    ASSERT_EQ(fx({"hflip", "--quality", "75", input, jpg}).status, 0);
    EXPECT_EQ(test::readFile(jpg), standard);
    ASSERT_EQ(fx({"hflip", "--quality=20", input, jpg}).status, 0);
    const std::string low = test::readFile(jpg);
    EXPECT_LT(low.size() * 2, standard.size());
    EXPECT_EQ(LoadPicture(jpg).width(), 64);
    ASSERT_EQ(fx({"run", "--chain", "hflip", "--quality", "20", "--format", "jpg", "-o",
                  dir.file("batch"), input})
                  .status,
              0);
    EXPECT_EQ(test::readFile(dir.file("batch/in.jpg")), low);
    for (const char* bad : {"0", "101", "high"})
        test::expectOneLineRefusal(fx({"gray", "--quality", bad, input, jpg}), bad);
}

// Help and errors are Japanese under a Japanese locale and English under any other; the
// English help leaves no message untranslated.
TEST_F(Cli, MessagesFollowTheLocale)
{
    const auto hasJapanese = [](const std::string& text) {
        return std::any_of(text.begin(), text.end(), [](char c) { return c & 0x80; });
    };
    for (const char* locale : {"LC_ALL=C", "LC_ALL=en_GB.UTF-8", "LC_ALL=fr_FR"}) {
        const RunResult r = fx({"resize", "--width", "5", input, output}, {locale});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "lumavex-fx: --height is required (lumavex-fx resize --help)\n") << locale;
    }
    // The core's messages keep their file names and values.
    EXPECT_EQ(
        fx({"hflip", dir.file("none.bmp"), output}, {"LC_ALL=C"}).err,
        "lumavex-fx: " + dir.file("none.bmp") + ": cannot open (No such file or directory)\n");
    EXPECT_EQ(
        fx({"resize", "--width", "7x", "--height", "5", input, output}, {"LC_ALL=", "LANG=C"}).err,
        "lumavex-fx: '7x' is not an integer\n");
    const RunResult ja =
        fx({"resize", "--width", "5", input, output}, {"LC_ALL=", "LANG=ja_JP.UTF-8"});
    EXPECT_EQ(ja.err, "lumavex-fx: --height を指定してください (lumavex-fx resize --help)\n");

    std::vector<std::vector<std::string>> helps = {{"--help"}, {"run", "--help"}};
    for (const char* name :
         {"add-shadow", "panel", "merge", "save", "rotate", "convert", "fl-mask"})
        helps.push_back({name, "--help"});
    for (const auto& args : helps) {
        const RunResult en = fx(args, {"LC_ALL=C"});
        EXPECT_EQ(en.status, 0);
        EXPECT_FALSE(hasJapanese(en.out)) << en.out;
        EXPECT_TRUE(hasJapanese(fx(args).out)) << args[0];
    }
}

}  // namespace
}  // namespace lumavex
