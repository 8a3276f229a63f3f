// lumavex-fx resample, rotate and fl-mask, run as the real program.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/raster.h"
#include "formats/picture_io.h"
#include "mask/fl_mask.h"
#include "support/fx_runner.h"
#include "support/test_pictures.h"
#include "toolkit/resample.h"
#include "toolkit/rotate.h"

namespace lumavex {
namespace {

using test::fx;
using test::RunResult;

class ToolkitCli : public test::FxTest {
protected:
    void SetUp() override { SavePicture(original, input); }
    // A refused run: status 2, one line on stderr that names the problem, no output file.
    void expectRefused(const std::vector<std::string>& args, const std::string& fragment)
    {
        const RunResult r = fx(args);
        test::expectOneLineRefusal(r, args[0]);
        EXPECT_NE(r.err.find(fragment), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << r.err;
    }
    const Raster original = test::makeNoise(24, 16, 77);
};

TEST_F(ToolkitCli, ResampleWritesTheLanczos3Result)
{
    const RunResult r = fx({"resample", "--width", "37", "--height=9", input, output});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    Raster expected = original;
    Resample(expected, 37, 9, kLanczos3Filter);
    EXPECT_TRUE(LoadPicture(output).samePixels(expected));
}

TEST_F(ToolkitCli, ResampleRefusesSizesBelowOneAndBeyondTheLimit)
{
    expectRefused({"resample", "--width", "0", "--height", "5", input, output}, "1 以上");
    expectRefused({"resample", "--width", "10", "--height", "-1", input, output}, "1 以上");
    expectRefused({"resample", "--width", "70000", "--height", "5", input, output}, "大きすぎます");
    expectRefused({"resample", "--width", "1e3", "--height", "5", input, output},
                  "'1e3' は整数ではありません");
    expectRefused({"resample", "--width", "10", input, output}, "--height");
}

TEST_F(ToolkitCli, RotateTurnsWithAntiAliasing)
{
    for (const char* angle : {"30", "-90", "359"}) {
        const RunResult r = fx({"rotate", "--angle", angle, input, output});
        ASSERT_EQ(r.status, 0) << r.err;
        Raster expected = original;
        Rotate(expected, std::stoi(angle), true);
        EXPECT_TRUE(LoadPicture(output).samePixels(expected)) << angle;
    }
    std::filesystem::remove(output);
    expectRefused({"rotate", input, output}, "--angle");
    expectRefused({"rotate", "--angle", "1.5", input, output}, "'1.5' は整数ではありません");
}

TEST_F(ToolkitCli, FLMaskDefaultsToTheWholePictureAndUndoesItself)
{
    ASSERT_EQ(fx({"fl-mask", input, output}).status, 0);
    Raster expected = original;
    ApplyFLMaskToRegion(expected, expected.bounds(), 1);
    const Raster once = LoadPicture(output);
    EXPECT_TRUE(once.samePixels(expected));
    EXPECT_FALSE(once.samePixels(original));
    const std::string twice = dir.file("twice.bmp");
    ASSERT_EQ(fx({"fl-mask", output, twice}).status, 0);
    EXPECT_TRUE(LoadPicture(twice).samePixels(original));
}

TEST_F(ToolkitCli, FLMaskTakesARectangleInPicturePixels)
{
    // Not snapped to the grid, and running off the right edge: the outside reads as white.
    ASSERT_EQ(fx({"fl-mask", "--rect", "3,2,29,9", input, output}).status, 0);
    Raster expected = original;
    ApplyFLMaskToRegion(expected, {3, 2, 32, 11}, 1);
    EXPECT_TRUE(LoadPicture(output).samePixels(expected));
    std::filesystem::remove(output);
    expectRefused({"fl-mask", "--rect", "1,2,3", input, output}, "X,Y,W,H");
    expectRefused({"fl-mask", "--rect", "0,0,-8,8", input, output}, "0 以上");
    expectRefused({"fl-mask", "--rect", "2000000000,0,2000000000,8", input, output},
                  "大きすぎます");
    expectRefused({"fl-mask", "--rect", "0,0,100000,100000", input, output}, "大きすぎます");
}

}  // namespace
}  // namespace lumavex
