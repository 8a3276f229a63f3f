#include <filesystem>

#include <gtest/gtest.h>

#include "formats/picture_io.h"
#include "support/fx_runner.h"

namespace lumavex {
namespace {

namespace fs = std::filesystem;
using test::fx;
using test::RunResult;

class Run : public test::FxTest {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 5; ++i)
            SavePicture(test::makeNoise(40 + i, 30, static_cast<uint32_t>(i + 1)), in(i));
    }
    std::string in(int i) const
    {
        std::string name = "p";
        name += std::to_string(i);
        name += ".bmp";
        return dir.file(name);
    }
    std::vector<std::string> inputs(int count) const
    {
        std::vector<std::string> all;
        for (int i = 0; i < count; ++i)
            all.push_back(in(i));
        return all;
    }
    RunResult run(std::vector<std::string> args, const std::vector<std::string>& files)
    {
        args.insert(args.begin(), "run");
        args.insert(args.end(), files.begin(), files.end());
        return fx(args);
    }
    const std::string out = dir.file("out");
};

TEST_F(Run, AChainEqualsItsCommandsRunOneByOne)
{
    const RunResult r = run({"--chain",
                             "panel --width 8 --level1 3; add-shadow --width 6 --color #202020\n"
                             "merge --layer '" +
                                 in(4) + "' --rate 30",
                             "-o", out, "--format", "png", "-j", "2"},
                            inputs(3));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // no progress bar when stderr is not a terminal
    for (int i = 0; i < 3; ++i) {
        const std::string a = dir.file("a.bmp"), b = dir.file("b.bmp"), c = dir.file("c.png");
        ASSERT_EQ(fx({"panel", "--width", "8", "--level1", "3", in(i), a}).status, 0);
        ASSERT_EQ(fx({"add-shadow", "--width", "6", "--color", "#202020", a, b}).status, 0);
        ASSERT_EQ(fx({"merge", "--layer", in(4), "--rate", "30", b, c}).status, 0);
        EXPECT_EQ(test::readFile(out + "/p" + std::to_string(i) + ".png"), test::readFile(c)) << i;
    }
}

TEST_F(Run, OneWorkerAndTwoWriteTheSameBytes)
{
    const std::string chain = "blur; ellipse-blur --width 5; convert --colors 16; save --bits 4";
    ASSERT_EQ(
        run({"--chain", chain, "-o", dir.file("one/{name}.{ext}"), "-j", "1", "--format", "gif"},
            inputs(5))
            .status,
        0);
    ASSERT_EQ(
        run({"--chain", chain, "-o", dir.file("two"), "-j", "2", "--format", ".gif"}, inputs(5))
            .status,
        0);
    for (int i = 0; i < 5; ++i) {
        const std::string name = "/p" + std::to_string(i) + ".gif";
        const std::string one = test::readFile(dir.file("one") + name);
        EXPECT_FALSE(one.empty());
        EXPECT_EQ(one, test::readFile(dir.file("two") + name)) << name;
    }
}

TEST_F(Run, ABadFileIsReportedAndTheOthersGoOn)
{
    test::writeFile(dir.file("bad.bmp"), "BM not a bitmap");
    std::vector<std::string> files = {in(0), dir.file("bad.bmp"), in(1)};
    RunResult r = run({"--chain", "negative", "-o", out, "-j", "2"}, files);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("lumavex-fx: " + dir.file("bad.bmp") + ": ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(fs::exists(out + "/p0.bmp"));
    EXPECT_TRUE(fs::exists(out + "/p1.bmp"));
    EXPECT_FALSE(fs::exists(out + "/bad.bmp"));

    // An effect's refusal names the input too; --fail-fast stops before the next file.
    r = run({"--chain", "resample --width 0 --height 4", "-o", dir.file("ff"), "-j", "1",
             "--fail-fast"},
            inputs(3));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("lumavex-fx: " + in(0) + ": ", 0), 0u) << r.err;
}

TEST_F(Run, OutputsNeverReplaceInputsUnlessAsked)
{
    const std::string before = test::readFile(in(0));
    test::expectOneLineRefusal(run({"--chain", "negative", "-o", dir.path().string()}, {in(0)}),
                               "into its own folder");
    test::expectOneLineRefusal(
        run({"--chain", "negative", "-o", dir.file("{name}.png")}, {in(0), dir.file("p0.gif")}),
        "two inputs, one output");
    EXPECT_EQ(test::readFile(in(0)), before);
    EXPECT_FALSE(fs::exists(dir.file("p0.png")));

    ASSERT_EQ(run({"--chain", "negative", "--in-place"}, {in(0)}).status, 0);
    Raster expected = test::makeNoise(40, 30, 1);
    const Raster got = LoadPicture(in(0));
    EXPECT_EQ(got.pixel(3, 2), ~expected.pixel(3, 2) & 0x00FFFFFF);

    ASSERT_EQ(run({"--chain", "hflip", "-o", dir.file("x/{name}-flip.{ext}")}, {in(1)}).status, 0);
    EXPECT_TRUE(fs::exists(dir.file("x/p1-flip.bmp")));
}

TEST_F(Run, ChainFilesAndBadChainsAndOptions)
{
    test::writeFile(dir.file("chain.txt"),
                    "# a frame\n  panel --width 4\n\nadd-shadow --color \"#101010\"; blur\n");
    ASSERT_EQ(run({"--chain-file", dir.file("chain.txt"), "-o", out}, {in(0)}).status, 0);
    ASSERT_EQ(run({"--chain", "panel --width 4; add-shadow --color #101010; blur", "-o",
                   dir.file("inline")},
                  {in(0)})
                  .status,
              0);
    EXPECT_EQ(test::readFile(out + "/p0.bmp"), test::readFile(dir.file("inline/p0.bmp")));

    const std::vector<std::vector<std::string>> bad = {
        {"--chain", "no-such-step", "-o", out},
        {"--chain", "num-colors", "-o", out},
        {"--chain", "hflip a.bmp", "-o", out},
        {"--chain", "panel --width x", "-o", out},
        {"--chain", "text-out --text 'open", "-o", out},
        {"--chain", " ; ", "-o", out},
        {"--chain-file", dir.file("missing.txt"), "-o", out},
        {"--chain", "blur"},
        {"--chain", "blur", "-o", out, "-j", "0"},
        {"--chain", "blur", "-o", out, "--format", "ico"},
        {"--chain", "blur", "-o", out, "--bogus"},
        {"--chain", "blur", "-o", in(2)},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        test::expectOneLineRefusal(run(args, {in(1)}), joined);
    }
    EXPECT_FALSE(fs::exists(out + "/p1.bmp"));
}

// One worker reads each next file while it works on the current one: results, messages and
// their order are those of the files run one at a time, a bad file in the middle included.
TEST_F(Run, ReadingAheadChangesNoResultNorMessage)
{
    test::writeFile(dir.file("bad.bmp"), "BM not a bitmap");
    const std::vector<std::string> files = {in(0), dir.file("bad.bmp"), in(1),
                                            dir.file("missing.png"), in(2)};
    const std::vector<std::string> chain = {"--chain", "blur; add-shadow --width 3", "-j", "1"};
    auto args = [&](const std::string& output) {
        std::vector<std::string> all = chain;
        all.insert(all.end(), {"-o", output});
        return all;
    };
    const RunResult batch = run(args(out), files);
    EXPECT_EQ(batch.status, 2);
    std::string messages;
    for (const std::string& file : files) {
        const RunResult alone = run(args(dir.file("alone")), {file});
        messages += alone.err;
        std::string name = "/";
        name += fs::path(file).filename().string();
        EXPECT_EQ(fs::exists(out + name), alone.status == 0) << name;
        if (alone.status == 0) {
            EXPECT_EQ(test::readFile(out + name), test::readFile(dir.file("alone") + name));
        }
    }
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 2) << messages;
    EXPECT_EQ(batch.err, messages);

    // A file that an earlier file of the run writes is read at its turn, after that write.
    fs::copy_file(in(3), dir.file("p02.bmp"));
    ASSERT_EQ(run({"--chain", "blur", "-j", "1", "--in-place", "-o", dir.file("{name}2.{ext}")},
                  {in(0), dir.file("p02.bmp")})
                  .status,
              0);
    ASSERT_EQ(fx({"blur", dir.file("p02.bmp"), dir.file("twice.bmp")}).status, 0);
    EXPECT_EQ(test::readFile(dir.file("p022.bmp")), test::readFile(dir.file("twice.bmp")));
}

// On a terminal (here script's) the run draws its bar on stderr; --quiet draws none.
TEST_F(Run, AProgressBarOnlyOnATerminal)
{
    const auto onTerminal = [&](const std::string& extra) {
        return test::runProgram({"/usr/bin/script", "-qec",
                                 std::string(LUMAVEX_FX) + " run --chain blur -j 2 -o '" + out +
                                     "' " + extra + " '" + in(0) + "' '" + in(1) + "'",
                                 "/dev/null"});
    };
    const RunResult shown = onTerminal("");
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("] 2/2"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("[########################]"), std::string::npos) << shown.out;
    const RunResult quiet = onTerminal("--quiet");
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
}

}  // namespace
}  // namespace lumavex
