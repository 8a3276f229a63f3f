#include "formats/spi_plugins.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bmp_builder.h"
#include "core/error.h"
#include "formats/picture_io.h"
#include "formats/registry.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

const std::vector<uint8_t> kLvxt = {'L', 'V', 'X', 'T', 1, 1, 10, 20, 30};

std::vector<std::string> names(const std::vector<const SpiPlugin*>& plugins)
{
    std::vector<std::string> out;
    for (const SpiPlugin* p : plugins)
        out.push_back(std::filesystem::path(p->fileName()).filename().string());
    return out;
}

TEST(SpiPlugins, OneManagerAProgram)
{
    {
        SpiPlugins first;
        EXPECT_EQ(SpiPlugins::instance(), &first);
        try {
            SpiPlugins second;
            FAIL() << "a second manager";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "TSPIs は複数生成できません");
        }
        EXPECT_EQ(SpiPlugins::instance(), &first);
    }
    EXPECT_EQ(SpiPlugins::instance(), nullptr);
    // Run from a folder of its own, which is neither the program's nor the system's.
    const test::TempDir elsewhere;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.path());
    for (const std::string& dir : SpiPlugins::defaultDirectories())
        EXPECT_NE(std::filesystem::path(dir), elsewhere.path());
    std::filesystem::current_path(before);
}

TEST(SpiPlugins, ADirectoryTwiceLoadsOnceAndEveryPatternIsRegisteredWhileTheManagerLives)
{
    {
        SpiPlugins plugins;
        plugins.search({TEST_PLUGIN_DIR, TEST_PLUGIN_DIR, std::string(TEST_PLUGIN_DIR) + "/./"});
        // The one that lacks GetPicture is skipped; the search goes on past it.
        EXPECT_EQ(plugins.count(), 3u);
        EXPECT_GE(plugins.indexOf(std::string(TEST_PLUGIN_DIR) + "/DECODES.SPI"), 0);
        const PictureFormat* lvx = PictureFormats::instance().find("lvx");
        ASSERT_NE(lvx, nullptr);
        ASSERT_NE(PictureFormats::instance().find(".LVXT"), nullptr);
        EXPECT_EQ(lvx->description, "LVXT pictures");
        // The plug-in with broken blocks claims it too and is tried first; the good one reads it.
        const Raster r = lvx->read(kLvxt, "a.lvx");
        EXPECT_EQ(r.pixel(0, 0), makeColor(10, 20, 30));

        EXPECT_EQ(names(plugins.findLoaders(".LVXT")),
                  (std::vector<std::string>{"wrong_sizes.spi", "decodes.spi", "crashes.spi"}));
        EXPECT_EQ(names(plugins.findLoaders(".png")),
                  (std::vector<std::string>{"crashes.spi", "decodes.spi", "wrong_sizes.spi"}));
    }
    EXPECT_EQ(PictureFormats::instance().find("lvx"), nullptr);
}

TEST(SpiPlugins, BmpIsReadNativelyFirstOthersByPluginsFirstAndNeitherIsRefused)
{
    SpiPlugins plugins;
    plugins.search({TEST_PLUGIN_DIR});
    test::DibLayout layout;
    layout.pixels = {30, 20, 10, 0};
    const std::vector<uint8_t> bmp = test::makeDib(layout);
    // The decodings the plug-ins start tell who was asked before the BMP reader.
    int asked = 0;
    plugins.onProgress = [&](SpiStage stage, int) {
        asked += stage == SpiStage::Start;
        return true;
    };
    EXPECT_EQ(plugins.read(bmp, "a.bmp").pixel(0, 0), makeColor(10, 20, 30));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(plugins.read(bmp, "a.lvxt").pixel(0, 0), makeColor(10, 20, 30));
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(plugins.read(kLvxt, "a.bmp").pixel(0, 0), makeColor(10, 20, 30));
    const std::string nameless = testing::TempDir() + "/picture-without-extension";
    {
        std::ofstream(nameless, std::ios::binary)
            .write(reinterpret_cast<const char*>(kLvxt.data()), std::ssize(kLvxt));
    }
    EXPECT_EQ(LoadPicture(nameless).pixel(0, 0), makeColor(10, 20, 30));
    try {
        plugins.read(std::vector<uint8_t>(50, 'x'), "a.lvxt");
        FAIL() << "read";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "認識できない画像形式です");
    }
}

}  // namespace
}  // namespace lumavex

namespace lumavex {
namespace {

TEST(SpiPlugins, SearchAndRegisterHandlersVetoOrChangeWhatIsAdded)
{
    SpiPlugins plugins;
    std::vector<std::string> asked;
    plugins.onSearch = [&](const SpiPlugin& p) {
        const std::string name = std::filesystem::path(p.fileName()).filename().string();
        asked.push_back(name);
        if (name == "crashes.spi")
            throw std::runtime_error("refused loudly");
        return name != "wrong_sizes.spi";
    };
    plugins.onPictureRegister = [](const SpiPlugin&, const std::string& extension,
                                   const std::string&, PictureReader& reader) {
        if (extension == "lvx")
            reader = nullptr;
    };
    // The same folder by a name relative to the current one is not searched.
    plugins.search({std::filesystem::relative(TEST_PLUGIN_DIR).string(), TEST_PLUGIN_DIR});
    EXPECT_EQ(asked, (std::vector<std::string>{"crashes.spi", "decodes.spi", "wrong_sizes.spi"}));
    ASSERT_EQ(plugins.count(), 1u);
    EXPECT_NE(PictureFormats::instance().find("lvxt"), nullptr);
    EXPECT_EQ(PictureFormats::instance().find("lvx"), nullptr);

    // Insert puts a plug-in where it is told; clear frees them all and the formats stay until the
    // manager goes.
    plugins.onPictureRegister = nullptr;
    plugins.insert(0,
                   std::make_unique<SpiPlugin>(std::string(TEST_PLUGIN_DIR) + "/wrong_sizes.spi"));
    EXPECT_EQ(plugins.indexOf(std::string(TEST_PLUGIN_DIR) + "/wrong_sizes.spi"), 0);
    EXPECT_EQ(plugins.indexOf(std::string(TEST_PLUGIN_DIR) + "/decodes.spi"), 1);
    EXPECT_NE(PictureFormats::instance().find("lvx"), nullptr);
    EXPECT_THROW(plugins.insert(
                     5, std::make_unique<SpiPlugin>(std::string(TEST_PLUGIN_DIR) + "/crashes.spi")),
                 Error);
    EXPECT_EQ(plugins.count(), 2u);
    plugins.clear();
    EXPECT_EQ(plugins.count(), 0u);
    try {
        PictureFormats::instance().find("lvxt")->read(kLvxt, "a.lvxt");
        FAIL() << "read without plug-ins";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "認識できない画像形式です");
    }
}

TEST(SpiPlugins, APluginPictureUnderABuiltInExtensionIsReadAfterTheBuiltInReader)
{
    SpiPlugins plugins;
    plugins.add(std::make_unique<SpiPlugin>(SAMPLE_PLUGIN));
    const test::TempDir dir;
    const std::string ppm("P6 2 1 255\n\x01\x02\x03\xfa\xfb\xfc", 17);
    for (const char* name : {"x.bmp", "x.jpg", "x.png", "x.tif"}) {
        test::writeFile(dir.file(name), ppm);
        const Raster r = LoadPicture(dir.file(name));
        ASSERT_EQ(r.width(), 2) << name;
        EXPECT_EQ(r.pixel(0, 0), makeColor(1, 2, 3)) << name;
        EXPECT_EQ(r.pixel(1, 0), makeColor(250, 251, 252)) << name;
    }
    // Neither reads it: the built-in reader's own error stands.
    test::writeFile(dir.file("y.jpg"), "P6 2 1 255\n");
    try {
        LoadPicture(dir.file("y.jpg"));
        FAIL() << "read";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("JPEG"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace lumavex
