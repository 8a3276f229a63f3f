// text-out and text-texture through the real binary. They exist only where the Qt parts are
// built.
#ifdef LUMAVEX_HAVE_TEXT

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "core/raster.h"
#include "formats/picture_io.h"
#include "support/fx_runner.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

using test::RunResult;

constexpr Color kGreen = makeColor(0, 255, 0);

// Runs lumavex-fx with no display and no platform chosen: the text commands must pick the
// offscreen platform themselves.
RunResult fx(std::vector<std::string> args, std::vector<std::string> environment = {})
{
    environment.insert(environment.begin(), {"QT_QPA_PLATFORM=", "DISPLAY="});
    return test::fx(std::move(args), environment);
}

using test::colours;

// The rows that hold a pixel other than white.
std::set<int> inkRows(const Raster& r)
{
    std::set<int> rows;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            if (r.pixel(x, y) != kWhite)
                rows.insert(y);
    return rows;
}

class TextCli : public test::FxTest {
protected:
    void SetUp() override
    {
        SavePicture(Raster(300, 80), white);
        SavePicture(test::makeFPicture(300, 80), picture);
    }
    const std::string white = dir.file("white.bmp");
    const std::string picture = dir.file("f.bmp");
};

TEST_F(TextCli, TextOutDrawsAJapaneseAndALatinLineInTheTextColourOnly)
{
    const RunResult r = fx(
        {"text-out", "--text", "日本語のテキスト\\nLumavex", "--color", "#C02020", white, output});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(r.err.empty()) << r.err;
    const Raster got = LoadPicture(output);
    EXPECT_EQ(got.width(), 300);
    EXPECT_EQ(got.height(), 80);
    EXPECT_EQ(colours(got), (std::set<Color>{kWhite, makeColor(0xC0, 0x20, 0x20)}));
    // Two lines of ink, the first from row 10 on, with a gap of blank rows between them.
    const std::set<int> rows = inkRows(got);
    ASSERT_FALSE(rows.empty());
    EXPECT_GE(*rows.begin(), 10);
    EXPECT_LT(*rows.rbegin(), 10 + 2 * 20);
    int gaps = 0;
    for (auto it = std::next(rows.begin()); it != rows.end(); ++it)
        gaps += *it != *std::prev(it) + 1;
    EXPECT_EQ(gaps, 1);
}

TEST_F(TextCli, TextOutBevelGivesTheLightAndDarkCopies)
{
    const RunResult r =
        fx({"text-out", "--text", "ベベル Bevel", "--size", "24", "--color", "#FF0000", "--bevel",
            "--top-left", "2", "--bottom-right", "3", white, output});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(colours(LoadPicture(output)),
              (std::set<Color>{kWhite, makeColor(255, 0, 0), makeColor(255, 128, 128),
                               makeColor(204, 0, 0)}));
}

TEST_F(TextCli, TextThatDoesNotFitGrowsThePictureWithTheBackgroundColour)
{
    const std::string small = dir.file("small.bmp");
    SavePicture(test::makeFPicture(20, 16), small);
    const RunResult r =
        fx({"text-out", "--text", "テキスト\\nText", "--bg-color", "#00FF00", small, output});
    ASSERT_EQ(r.status, 0) << r.err;
    const Raster got = LoadPicture(output);
    ASSERT_GT(got.width(), 40);
    ASSERT_GT(got.height(), 10 + 2 * 12);
    // The last ten columns and rows are the added margin beyond the text.
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            if (x >= got.width() - 10 || y >= got.height() - 10) {
                ASSERT_EQ(got.pixel(x, y), kGreen) << x << "," << y;
            }
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(got.pixel(5, y), test::makeFPicture(20, 16).pixel(5, y)) << y;
}

TEST_F(TextCli, AnEmptyTextOnlyGrowsAShortPicture)
{
    const std::string small = dir.file("small.bmp");
    SavePicture(test::makeFPicture(20, 6), small);
    ASSERT_EQ(fx({"text-out", "--text", "", "--x", "500", small, output}).status, 0);
    const Raster got = LoadPicture(output);
    EXPECT_EQ(got.width(), 20);
    EXPECT_EQ(got.height(), 20);
    EXPECT_EQ(got.pixel(0, 19), kWhite);
}

TEST_F(TextCli, TextTextureKeepsThePictureInsideBlackLetters)
{
    const RunResult r = fx({"text-texture", "--text", "切り抜き\\nCut out", "--size", "30",
                            "--bold", picture, output});
    ASSERT_EQ(r.status, 0) << r.err;
    const Raster got = LoadPicture(output);
    const Raster before = test::makeFPicture(300, 80);
    ASSERT_EQ(got.width(), 300);
    int kept = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 300; ++x) {
            const Color c = got.pixel(x, y);
            ASSERT_TRUE(c == kWhite || c == before.pixel(x, y)) << x << "," << y;
            kept += c != kWhite;
        }
    EXPECT_GT(kept, 200);

    ASSERT_EQ(
        fx({"text-texture", "--text", "白い文字", "--color", "#FFFFFF", picture, output}).status,
        0);
    EXPECT_EQ(colours(LoadPicture(output)), std::set<Color>{kWhite});
}

TEST_F(TextCli, TheOutlineOptionFiltersTheResult)
{
    ASSERT_EQ(fx({"text-out", "--text", "Outline", "--size", "20", white, output}).status, 0);
    const std::string outlined = dir.file("outlined.bmp");
    ASSERT_EQ(
        fx({"text-out", "--text", "Outline", "--size", "20", "--outline", white, outlined}).status,
        0);
    EXPECT_EQ(colours(LoadPicture(output)).size(), 2u);
    EXPECT_GT(colours(LoadPicture(outlined)).size(), 2u);
}

TEST_F(TextCli, BadValuesAreRefusedAndNothingIsWritten)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"text-out", "--text", "A", "--x", "1O"}, "lumavex-fx: '1O' は整数ではありません\n"},
        {{"text-out", "--text", "A", "--size", "0"},
         "lumavex-fx: 文字の大きさは 1 から 16384 "
         "ピクセルまでです: 0\n"},
        {{"text-out", "--text", "A", "--bevel", "--top-left", "two"},
         "lumavex-fx: 'two' は整数ではありません\n"},
        {{"text-out", "--text", "A", "--x", "70000"}, ""},
        {{"text-texture", "--text", "A", "--color", "reddish"}, ""},
        {{"text-texture", "--text", "A", "--bevel"}, ""},
        {{"text-out", "--font", ""}, ""},
        {{"text-out"}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back(white);
        args.push_back(output);
        const RunResult r = fx(args);
        test::expectOneLineRefusal(r, args[1]);
        if (!c.message.empty()) {
            EXPECT_EQ(r.err, c.message);
        }
        EXPECT_FALSE(std::filesystem::exists(output)) << r.err;
    }
}

TEST_F(TextCli, AskedForPlatformsWithoutADisplayFallBackToOffscreen)
{
    const RunResult r = fx({"text-out", "--text", "A", white, output}, {"QT_QPA_PLATFORM=xcb"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(colours(LoadPicture(output)).size(), 2u);
}

TEST_F(TextCli, OtherCommandsNeverStartQt)
{
    // A platform that cannot start would abort any command that brought Qt up, and the plugin
    // loader would report on stderr.
    const RunResult r = fx({"hflip", white, output}, {"QT_QPA_PLATFORM=xcb", "QT_DEBUG_PLUGINS=1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
}

// Text steps share one font engine among the workers and still draw as a single run does.
TEST_F(TextCli, TextStepsInAChainOnTwoWorkersDrawAsSingleRuns)
{
    std::vector<std::string> args = {
        "run", "--chain",        "text-out --text '日本 Text' --size 20; blur", "-j", "2",
        "-o",  dir.file("chain")};
    for (int i = 0; i < 4; ++i) {
        args.push_back(dir.file("f" + std::to_string(i) + ".bmp"));
        SavePicture(test::makeNoise(120, 40, static_cast<uint32_t>(i)), args.back());
    }
    const RunResult r = fx(args);
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 4; ++i) {
        const std::string in = dir.file("f" + std::to_string(i) + ".bmp");
        ASSERT_EQ(fx({"text-out", "--text", "日本 Text", "--size", "20", in, output}).status, 0);
        ASSERT_EQ(fx({"blur", output, output}).status, 0);
        EXPECT_EQ(test::readFile(dir.file("chain/f" + std::to_string(i) + ".bmp")),
                  test::readFile(output))
            << i;
    }
}

}  // namespace
}  // namespace lumavex

#endif  // LUMAVEX_HAVE_TEXT
