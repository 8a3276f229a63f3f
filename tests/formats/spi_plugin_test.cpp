#include "formats/spi_plugin.h"

#include <gtest/gtest.h>

#include "core/error.h"

namespace lumavex {
namespace {

const std::string kDir = TEST_PLUGIN_DIR;

std::vector<uint8_t> lvxt(std::vector<uint8_t> before = {})
{
    std::vector<uint8_t> d = std::move(before);
    d.insert(d.end(), {'L', 'V', 'X', 'T', 2, 1, 255, 0, 0, 0, 0, 255});
    return d;
}

TEST(SpiPlugin, ReadsInformationPairsAndDecodesShortDataPaddedWithItsTrueLength)
{
    const SpiPlugin plugin(kDir + "/decodes.spi");
    EXPECT_EQ(plugin.kind(), SpiPlugin::Kind::Import);
    EXPECT_EQ(plugin.name(), "test decoder");
    EXPECT_EQ(plugin.filters(), std::vector<std::string>{"*.lvxt;*.lvx"});
    EXPECT_EQ(plugin.descriptions(), std::vector<std::string>{"LVXT pictures"});

    const auto picture = plugin.decode(lvxt(), "a.lvxt");
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width(), 2);
    ASSERT_EQ(picture->height(), 1);
    EXPECT_EQ(picture->pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(picture->pixel(1, 0), makeColor(0, 0, 255));
}

TEST(SpiPlugin, RetriesFromByte128OnlyWhenAllowed)
{
    const SpiPlugin plugin(kDir + "/decodes.spi");
    const std::vector<uint8_t> mac = lvxt(std::vector<uint8_t>(128, 'm'));
    const auto picture = plugin.decode(mac, "a.lvxt");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixel(1, 0), makeColor(0, 0, 255));
    EXPECT_FALSE(plugin.decode(mac, "a.lvxt", false));
    EXPECT_FALSE(plugin.decode(std::vector<uint8_t>(300, 'x'), "a.lvxt"));
}

TEST(SpiPlugin, ReportsProgressAsMulDiv98PlusOneAndStopsWhenAsked)
{
    const SpiPlugin plugin(kDir + "/decodes.spi");
    // Four rows of one pixel: the plug-in reports 1/4, 2/4, 3/4 and 4/4.
    const std::vector<uint8_t> tall = {'L', 'V', 'X', 'T', 1, 4, 1,  2,  3,
                                       4,   5,   6,   7,   8, 9, 10, 11, 12};
    std::vector<std::pair<SpiStage, int>> seen;
    int stopAt = 1000;
    const SpiProgress progress = [&](SpiStage stage, int percent) {
        seen.emplace_back(stage, percent);
        return percent < stopAt;
    };
    const auto picture = plugin.decode(tall, "a.lvxt", true, progress);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixel(0, 3), makeColor(10, 11, 12));
    using S = SpiStage;
    EXPECT_EQ(seen, (std::vector<std::pair<S, int>>{{S::Start, 0},
                                                    {S::Running, 26},
                                                    {S::Running, 50},
                                                    {S::Running, 75},
                                                    {S::Running, 99},
                                                    {S::End, 100}}));

    // Asked to stop at the second report, this plug-in gives up; the end is still reported.
    seen.clear();
    stopAt = 50;
    EXPECT_FALSE(plugin.decode(tall, "a.lvxt", true, progress));
    EXPECT_EQ(seen, (std::vector<std::pair<S, int>>{
                        {S::Start, 0}, {S::Running, 26}, {S::Running, 50}, {S::End, 100}}));
}

TEST(SpiPlugin, AFilterWithoutItsDescriptionIsNoFilterAndAnArchiveNeedsItsFunctions)
{
    const SpiPlugin filterOnly(std::string(ODD_PLUGIN_DIR) + "/filter_only.spi");
    EXPECT_EQ(filterOnly.kind(), SpiPlugin::Kind::Import);
    EXPECT_TRUE(filterOnly.filters().empty());
    EXPECT_TRUE(filterOnly.descriptions().empty());
    const std::string archive = std::string(ODD_PLUGIN_DIR) + "/archive.spi";
    try {
        SpiPlugin plugin(archive);
        FAIL() << "loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.what(), "GetArchiveInfoは[" + archive + "]では使えないSusie Plugin APIです");
    }
}

TEST(SpiPlugin, APluginSilentForTooLongIsStoppedAndTheOthersGoOn)
{
    const SpiPlugin hangs(std::string(ODD_PLUGIN_DIR) + "/hangs.spi");
    SpiPlugin::setSilenceLimit(std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    const auto picture = hangs.decode(lvxt(), "a.lvxt", false);
    const auto waited = std::chrono::steady_clock::now() - start;
    SpiPlugin::setSilenceLimit(std::chrono::minutes(1));
    EXPECT_FALSE(picture);
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(waited, std::chrono::seconds(20));
    EXPECT_TRUE(SpiPlugin(kDir + "/decodes.spi").decode(lvxt(), "a.lvxt"));
}

TEST(SpiPlugin, RefusesMissingFunctionsUnloadableFilesAndInconsistentBlocks)
{
    const std::string missing = kDir + "/missing_function.spi";
    try {
        SpiPlugin plugin(missing);
        FAIL() << "loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.what(), "GetPictureは[" + missing + "]では使えないSusie Plugin APIです");
    }
    const std::string absent = kDir + "/absent.spi";
    try {
        SpiPlugin plugin(absent);
        FAIL() << "loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.what(), absent + ":Susie Pluginがロードできませんでした");
    }
    const SpiPlugin wrong(kDir + "/wrong_sizes.spi");
    try {
        wrong.decode(lvxt(), "a.lvxt");
        FAIL() << "decoded";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "認識できない画像形式です");
    }
    // A plug-in that crashes takes only its own process with it.
    const SpiPlugin crashes(kDir + "/crashes.spi");
    EXPECT_FALSE(crashes.decode(lvxt(), "a.lvxt"));
}

}  // namespace
}  // namespace lumavex

namespace lumavex {
namespace {

template <size_t N>
std::vector<uint8_t> bytes(const char (&text)[N])
{
    return {text, text + N - 1};
}

TEST(NetpbmSamplePlugin, ReadsColourGreyAndBitmapAndRefusesTruncatedFiles)
{
    const SpiPlugin netpbm(SAMPLE_PLUGIN);
    EXPECT_EQ(netpbm.filters(), std::vector<std::string>{"*.ppm;*.pgm;*.pbm;*.pnm"});
    const auto colour =
        netpbm.decode(bytes("P6\n# two\n2 1\n255\n\xff\x00\x00\x00\x80\x01"), "a.ppm");
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour->pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(colour->pixel(1, 0), makeColor(0, 128, 1));
    const auto grey = netpbm.decode(bytes("P5 1 2 15\n\x0f\x05"), "a.pgm");
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->pixel(0, 0), makeColor(255, 255, 255));
    EXPECT_EQ(grey->pixel(0, 1), makeColor(85, 85, 85));
    const auto bitmap = netpbm.decode(bytes("P4 3 1 \xa0"), "a.pbm");
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->pixel(0, 0), makeColor(0, 0, 0));
    EXPECT_EQ(bitmap->pixel(1, 0), makeColor(255, 255, 255));
    EXPECT_EQ(bitmap->pixel(2, 0), makeColor(0, 0, 0));
    EXPECT_FALSE(netpbm.decode(bytes("P6 2 2 255\n\xff\x00\x00"), "a.ppm"));
    EXPECT_FALSE(netpbm.decode(bytes("P6 99999999 1 255\n"), "a.ppm"));
}

}  // namespace
}  // namespace lumavex
