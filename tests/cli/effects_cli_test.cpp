// The effect commands of lumavex-fx, run as a separate process and checked against the library.
#include <gtest/gtest.h>

#include <functional>

#include "effects/blurs.h"
#include "effects/drop_shadow.h"
#include "effects/merge.h"
#include "effects/panel.h"
#include "effects/shadow.h"
#include "formats/picture_io.h"
#include "support/fx_runner.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

using test::fx;
using test::RunResult;

// A red F on blue with a white frame, so that the shadow effects have white to work on.
Raster framedPicture()
{
    Raster p = test::makeFPicture(24, 18);
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 24; ++x)
            if (x < 3 || y < 3 || x > 19)
                p.setPixel(x, y, kWhite);
    return p;
}

class EffectsCli : public test::FxTest {
protected:
    void SetUp() override
    {
        SavePicture(framedPicture(), input);
        SavePicture(layerPicture(), layer);
    }
    static Raster layerPicture()
    {
        Raster l = test::makeNoise(9, 7, 3);
        l.setPixel(0, 0, kWhite);
        l.setPixel(1, 0, test::kTestRed);
        return l;
    }
    // Runs the command and compares the written picture with the expected one.
    void expectResult(const std::vector<std::string>& args,
                      const std::function<void(Raster&)>& expected)
    {
        std::vector<std::string> full = args;
        full.push_back(input);
        full.push_back(output);
        const RunResult r = fx(full);
        ASSERT_EQ(r.status, 0) << args[0] << ": " << r.err;
        EXPECT_TRUE(r.out.empty());
        EXPECT_TRUE(r.err.empty());
        Raster want = framedPicture();
        expected(want);
        const Raster got = LoadPicture(output);
        EXPECT_TRUE(got.samePixels(want))
            << args[0] << " gave " << got.width() << " x " << got.height();
    }
    const std::string layer = dir.file("layer.bmp");
};

TEST_F(EffectsCli, HelpListsTheEffects)
{
    const RunResult r = fx({"--help"});
    ASSERT_EQ(r.status, 0);
    for (const char* name :
         {"add-shadow", "add-shadow-soft", "flame-blur", "circle-blur", "ellipse-blur", "panel",
          "blur", "drop-blur-shadow", "merge", "mix-paste"})
        EXPECT_NE(r.out.find(std::string("  ") + name + " "), std::string::npos) << name;
    const RunResult m = fx({"mix-paste", "--help"});
    EXPECT_NE(m.out.find("--key-color"), std::string::npos);
    EXPECT_NE(m.out.find("#000000"), std::string::npos);
}

TEST_F(EffectsCli, ShadowsWithDefaultsAndOptions)
{
    expectResult({"add-shadow"}, [](Raster& p) {
        Raster scratch;
        AddShadowCommand(p, scratch, kBlack, 10);
        EXPECT_EQ(p.width(), 34);
    });
    expectResult({"add-shadow", "--width", "3", "--color", "#203040"}, [](Raster& p) {
        Raster scratch;
        AddShadowCommand(p, scratch, makeColor(0x20, 0x30, 0x40), 3);
    });
    expectResult({"add-shadow-soft"}, [](Raster& p) {
        Raster scratch;
        AddShadowSoft(p, scratch, kBlack, kWhite, 10);
    });
    expectResult({"add-shadow-soft", "--width=4", "--color", "#FF0000", "--bg-color", "#00ff00"},
                 [](Raster& p) {
                     Raster scratch;
                     AddShadowSoft(p, scratch, test::kTestRed, makeColor(0, 255, 0), 4);
                 });
    expectResult({"drop-blur-shadow"}, [](Raster& p) {
        Raster scratch;
        DropBlurShadow(p, p, scratch, 3, 3, 0x00808080, kWhite);
    });
    expectResult({"drop-blur-shadow", "--x", "-2", "--y", "5", "--color", "#102030", "--bg-color",
                  "#0000FF"},
                 [](Raster& p) {
                     Raster scratch;
                     DropBlurShadow(p, p, scratch, -2, 5, makeColor(0x10, 0x20, 0x30),
                                    test::kTestBlue);
                 });
}

TEST_F(EffectsCli, BlursAndPanelWithDefaultsAndOptions)
{
    expectResult({"flame-blur"}, [](Raster& p) { FlameBlur(p, kWhite, 30); });
    expectResult({"flame-blur", "--width", "5", "--color", "#000080"},
                 [](Raster& p) { FlameBlur(p, makeColor(0, 0, 0x80), 5); });
    expectResult({"circle-blur"}, [](Raster& p) { CircleBlur(p, kWhite, 30); });
    expectResult({"circle-blur", "--width", "4", "--color", "#123456"},
                 [](Raster& p) { CircleBlur(p, makeColor(0x12, 0x34, 0x56), 4); });
    expectResult({"ellipse-blur"}, [](Raster& p) {
        Raster scratch;
        EllipseBlur(p, scratch, kWhite, 30);
    });
    expectResult({"ellipse-blur", "--width", "6", "--color", "#FFFF00"}, [](Raster& p) {
        Raster scratch;
        EllipseBlur(p, scratch, makeColor(255, 255, 0), 6);
    });
    expectResult({"panel"}, [](Raster& p) { Panel(p, 0, 0, 10); });
    expectResult({"panel", "--width", "5", "--level1", "2", "--level2", "-1"},
                 [](Raster& p) { Panel(p, 2, -1, 5); });
    expectResult({"blur"}, [](Raster& p) { Blur(p); });
}

TEST_F(EffectsCli, MergeAndMixPasteReadTheLayer)
{
    expectResult({"merge", "--layer", layer}, [](Raster& p) { Merge(p, layerPicture(), 50); });
    expectResult({"merge", "--layer", layer, "--rate", "30"},
                 [](Raster& p) { Merge(p, layerPicture(), 30); });
    expectResult({"mix-paste", "--layer", layer}, [](Raster& p) {
        p = MixPaste(layerPicture(), p, kBlack, 3, 0, 0);
        EXPECT_EQ(p.width(), 27);
    });
    expectResult(
        {"mix-paste", "--layer", layer, "--x", "20", "--y", "-2", "--key-color", "#FF0000"},
        [](Raster& p) { p = MixPaste(layerPicture(), p, test::kTestRed, 3, 20, -2); });
}

TEST_F(EffectsCli, RefusedValuesExitTwoAndLeaveTheOutputAlone)
{
    test::writeFile(output, "old content");
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"add-shadow", "--width", "0"}, "影の幅は 1 以上でなければなりません: 0"},
        {{"add-shadow-soft", "--width", "-1"}, "影の幅は 1 以上でなければなりません: -1"},
        {{"flame-blur", "--width", "0"}, "ぼかしの幅は 1 以上でなければなりません: 0"},
        {{"circle-blur", "--width", "0"}, "ぼかしの幅は 1 以上でなければなりません: 0"},
        {{"ellipse-blur", "--width", "-30"}, "ぼかしの幅は 1 以上でなければなりません: -30"},
        {{"panel", "--width", "0"}, "パネルの幅は 1 以上でなければなりません: 0"},
        {{"panel", "--level1", "99999999"}, "パネルのレベルが大きすぎます: 99999999, 0"},
        {{"panel", "--width", "ten"}, "'ten' は整数ではありません"},
        {{"merge", "--layer", layer, "--rate", "5%"}, "'5%' は整数ではありません"},
        // The layer is read beside the input, but its failure is told after the options'.
        {{"merge", "--layer", dir.file("missing.bmp"), "--rate", "5%"},
         "'5%' は整数ではありません"},
        {{"drop-blur-shadow", "--color", "greyish"},
         "'greyish' は色ではありません (#RRGGBB, #RGB か red などの色の名前)"},
        {{"add-shadow", "--color", "#12G"},
         "'#12G' は色ではありません (#RRGGBB, #RGB か red などの色の名前)"},
    };
    for (const auto& [args, message] : bad) {
        std::vector<std::string> full = args;
        full.push_back(input);
        full.push_back(output);
        const RunResult r = fx(full);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.err, "lumavex-fx: " + message + "\n") << args[0];
        EXPECT_EQ(test::readFile(output), "old content") << args[0];
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"add-shadow", "--width", "2000000000"},
          {"add-shadow-soft", "--width", "65530"},
          {"merge"},
          {"mix-paste", "--x", "1"},
          {"merge", "--layer", dir.file("missing.bmp")},
          {"mix-paste", "--layer", input, "--x", "1.5"}}) {
        std::vector<std::string> full = args;
        full.push_back(input);
        full.push_back(output);
        const RunResult r = fx(full);
        test::expectOneLineRefusal(r, args[0]);
        EXPECT_EQ(test::readFile(output), "old content") << args[0];
    }
    // ... and after the input's.
    const std::string gone = dir.file("gone.bmp");
    const RunResult r = fx({"merge", "--layer", dir.file("missing.bmp"), gone, output});
    EXPECT_EQ(r.err.rfind("lumavex-fx: " + gone + ": ", 0), 0u) << r.err;
}

}  // namespace
}  // namespace lumavex
