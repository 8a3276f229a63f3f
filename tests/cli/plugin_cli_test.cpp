// lumavex-fx reading a picture through the sample image plug-in, installed as a user installs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/bmp.h"
#include "formats/byte_order.h"
#include "support/fx_runner.h"

namespace lumavex {
namespace {

namespace fs = std::filesystem;

// Two by two: red, green over blue, white. Rows of a 24-bit BMP run bottom-up, blue first.
constexpr char kPpmBytes[] = "P6\n# made by hand\n2 2\n255\n\xff\0\0\0\xff\0\0\0\xff\xff\xff\xff";
const std::string kPpm(kPpmBytes, sizeof kPpmBytes - 1);

class PluginCli : public test::FxTest {
protected:
    // bin/lumavex-fx and lib/lumavex/plugins/netpbm.spi under one prefix.
    std::string install()
    {
        const fs::path prefix = dir.path() / "prefix";
        fs::create_directories(prefix / "bin");
        fs::create_directories(prefix / "lib/lumavex/plugins");
        fs::copy_file(LUMAVEX_FX, prefix / "bin/lumavex-fx");
        fs::copy_file(SAMPLE_PLUGIN, prefix / "lib/lumavex/plugins/netpbm.spi");
        return (prefix / "bin/lumavex-fx").string();
    }
};

TEST_F(PluginCli, AnInstalledProgramReadsNetpbmThroughTheSamplePluginAndWritesExactPixels)
{
    const std::string program = install();
    test::writeFile(dir.file("in.ppm"), kPpm);
    const test::RunResult r =
        test::runProgram({program, "save", dir.file("in.ppm"), output}, {"LC_ALL=ja_JP.UTF-8"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string bmp = test::readFile(output);
    ASSERT_EQ(bmp.size(), 54u + 2 * 8);
    const auto* bytes = reinterpret_cast<const uint8_t*>(bmp.data());
    EXPECT_EQ(le16(bytes + 28), 24u);
    EXPECT_EQ(bmp.substr(54), std::string("\xff\0\0\xff\xff\xff\0\0"
                                          "\0\0\xff\0\xff\0\0\0",
                                          16));
}

TEST_F(PluginCli, TheFoldersChosenInTheEditorAreSearchedToo)
{
    const fs::path folder = dir.path() / "my plug-ins, too";
    fs::create_directories(folder);
    fs::copy_file(SAMPLE_PLUGIN, folder / "netpbm.spi");
    fs::create_directories(dir.path() / "config/lumavex");
    std::string conf = "[General]\nPath=/nowhere\n\n[Plug-in]\nPath=\"/elsewhere:";
    conf += folder.string();
    conf += "\"\n";
    test::writeFile(dir.file("config/lumavex/lumavex.conf"), conf);
    test::writeFile(dir.file("in.ppm"), kPpm);
    std::string config = "XDG_CONFIG_HOME=";
    config += dir.file("config");
    ASSERT_EQ(test::fx({"save", dir.file("in.ppm"), output}, {config}).status, 0);
    EXPECT_EQ(test::readFile(output).size(), 54u + 16);
}

TEST_F(PluginCli, APluginInTheCurrentFolderIsNotLoaded)
{
    fs::copy_file(SAMPLE_PLUGIN, dir.path() / "netpbm.spi");
    test::writeFile(dir.file("in.ppm"), kPpm);
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    const test::RunResult r = test::fx({"save", "in.ppm", "out.bmp"});
    fs::current_path(before);
    test::expectOneLineRefusal(r, "plug-in of the current folder");
    EXPECT_FALSE(fs::exists(output));
}

}  // namespace
}  // namespace lumavex
