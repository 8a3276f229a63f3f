#include "formats/picture_io.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/error.h"
#include "error_checks.h"
#include "formats/registry.h"
#include "formats/stream.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

namespace fs = std::filesystem;

using test::kindOf;

size_t filesIn(const fs::path& folder)
{
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(PictureFormats, KnowsEveryFormatWithTheOpenDialogsDescription)
{
    const PictureFormats& formats = PictureFormats::instance();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"bmp", "ﾋﾞｯﾄﾏｯﾌﾟ"},
        {"dib", "Device Independent Bitmap"},
        {"jpg", "JPEG Image File"},
        {"jpeg", "JPEG Image File"},
        {"ico", "ｱｲｺﾝ"},
        {"emf", "ｴﾝﾊﾝｽ ﾒﾀﾌｧｲﾙ"},
        {"wmf", "ﾒﾀﾌｧｲﾙ"},
        {"gif", "GIF"},
        {"png", "Portable Network Graphics"},
        {"webp", "WebP"},
        {"tif", "TIFF"},
        {"tiff", "TIFF"},
    };
    for (const auto& [extension, description] : expected) {
        const PictureFormat* f = formats.find(extension);
        ASSERT_NE(f, nullptr) << extension;
        EXPECT_EQ(f->description, description);
    }
    EXPECT_EQ(formats.find(".JPEG"), formats.find("jpeg"));
    EXPECT_EQ(formats.find("xcf"), nullptr);
}

class Files : public ::testing::Test {
protected:
    test::TempDir dir;
    const Raster picture = test::makeFPicture(30, 20);
};

TEST_F(Files, EachExtensionWritesItsFormatAndReadsBack)
{
    struct Case {
        std::string name;
        std::string magic;
        bool exact;
    };
    const std::vector<Case> cases = {
        {"a.bmp", "BM", true},
        {"b.DIB", "BM", true},
        {"c.jpg", "\xFF\xD8\xFF", false},
        {"d.JPEG", "\xFF\xD8\xFF", false},
        {"e.png", "\x89PNG", true},
    };
    for (const Case& c : cases) {
        const std::string written = SavePicture(picture, dir.file(c.name));
        EXPECT_EQ(written, dir.file(c.name));
        EXPECT_EQ(test::readFile(written).substr(0, c.magic.size()), c.magic) << c.name;
        const Raster back = LoadPicture(written);
        EXPECT_EQ(back.width(), 30);
        EXPECT_EQ(back.height(), 20);
        if (c.exact) {
            EXPECT_TRUE(back.samePixels(picture)) << c.name;
        }
    }
    EXPECT_EQ(filesIn(dir.path()), cases.size());  // no temporary files left
}

TEST_F(Files, ANameWithoutExtensionGetsBmp)
{
    fs::create_directory(dir.file("v1.2"));
    const std::string name = dir.file("v1.2/picture");
    EXPECT_EQ(savedFileName(name), name + ".bmp");
    EXPECT_EQ(SavePicture(picture, name), name + ".bmp");
    EXPECT_TRUE(LoadPicture(name + ".bmp").samePixels(picture));
    EXPECT_FALSE(fs::exists(name));
}

TEST_F(Files, OtherExtensionsAreRefusedAndNothingIsWritten)
{
    test::writeFile(dir.file("old.ico"), "old icon");
    for (const char* name : {"x.ico", "x.emf", "x.wmf", "x.txt", "x.xcf", "old.ico"}) {
        EXPECT_EQ(kindOf([&] { SavePicture(picture, dir.file(name)); }), ErrorKind::Unsupported)
            << name;
        EXPECT_EQ(kindOf([&] { savedFileName(dir.file(name)); }), ErrorKind::Unsupported);
    }
    EXPECT_EQ(test::readFile(dir.file("old.ico")), "old icon");
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST_F(Files, MetafilesAreKnownButCannotBeShown)
{
    test::writeFile(dir.file("drawing.emf"), std::string(200, '\1'));
    test::writeFile(dir.file("drawing.WMF"), std::string(200, '\1'));
    for (const char* name : {"drawing.emf", "drawing.WMF"}) {
        try {
            LoadPicture(dir.file(name));
            ADD_FAILURE() << name;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
            EXPECT_NE(std::string(e.what()).find("メタファイルは表示できません"), std::string::npos)
                << e.what();
        }
    }
}

TEST_F(Files, LoadingReportsTheFileAndTheProblem)
{
    EXPECT_EQ(kindOf([&] { LoadPicture(dir.file("missing.png")); }), ErrorKind::File);
    test::writeFile(dir.file("bad.png"), "not a png at all");
    try {
        LoadPicture(dir.file("bad.png"));
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Format);
        EXPECT_EQ(std::string(e.what()), dir.file("bad.png") + ": PNG ファイルではありません");
    }
    // A PNG's bytes under a JPEG name open as the PNG they are.
    SavePicture(picture, dir.file("real.png"));
    fs::rename(dir.file("real.png"), dir.file("fake.jpg"));
    EXPECT_TRUE(LoadPicture(dir.file("fake.jpg")).samePixels(picture));
}

TEST_F(Files, AFailedSaveLeavesTheOldFileIntact)
{
    // A missing folder, and a folder standing where the file should go.
    EXPECT_EQ(kindOf([&] { SavePicture(picture, dir.file("none/x.bmp")); }), ErrorKind::File);
    fs::create_directory(dir.file("taken.png"));
    test::writeFile(dir.file("taken.png/inside"), "keep");
    EXPECT_EQ(kindOf([&] { SavePicture(picture, dir.file("taken.png")); }), ErrorKind::File);
    EXPECT_EQ(test::readFile(dir.file("taken.png/inside")), "keep");

    // A file-size limit makes the write itself fail halfway.
    const std::string old = dir.file("old.bmp");
    test::writeFile(old, "the old picture");
    const Raster big = test::makeNoise(400, 300, 3);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ErrorKind bmp = kindOf([&] { SavePicture(big, old); });
    ErrorKind png = kindOf([&] { SavePicture(big, dir.file("old.png")); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(bmp, ErrorKind::File);
    EXPECT_EQ(png, ErrorKind::File);
    EXPECT_EQ(test::readFile(old), "the old picture");
    EXPECT_FALSE(fs::exists(dir.file("old.png")));
    EXPECT_EQ(filesIn(dir.path()), 2u);  // taken.png and old.bmp: no temporary files

    // A read-only folder (root may write anyway, so only as another user).
    if (geteuid() != 0) {
        fs::create_directory(dir.file("ro"));
        test::writeFile(dir.file("ro/p.bmp"), "old");
        chmod(dir.file("ro").c_str(), 0555);
        EXPECT_EQ(kindOf([&] { SavePicture(picture, dir.file("ro/p.bmp")); }), ErrorKind::File);
        chmod(dir.file("ro").c_str(), 0755);
        EXPECT_EQ(test::readFile(dir.file("ro/p.bmp")), "old");
    }
}

TEST_F(Files, CopyingAJpegWritesWhatLoadingThenSavingWrites)
{
    // From JPEG to JPEG the encoder follows the decoder on another thread; the bytes, the
    // messages and what is left on disk are those of the two steps one after the other.
    SaveOptions options;
    options.quality = 93;
    SavePicture(test::makeNoise(301, 203, 5), dir.file("in.jpg"), options);
    options.quality = 60;
    auto copied = [&](const std::string& input, const std::string& output) {
        SavePicture(LoadPicture(input), dir.file("expected.jpg"), options);
        EXPECT_EQ(CopyPicture(input, output, options), output);
        EXPECT_EQ(test::readFile(output), test::readFile(dir.file("expected.jpg"))) << input;
    };
    copied(dir.file("in.jpg"), dir.file("out.jpeg"));
    // A PNG under a JPEG name goes the plain way.
    SavePicture(picture, dir.file("real.png"));
    fs::rename(dir.file("real.png"), dir.file("fake.jpg"));
    copied(dir.file("fake.jpg"), dir.file("out.jpg"));

    // Data that ends halfway: the reader's message, the old file kept, no temporary file.
    std::string cut = test::readFile(dir.file("in.jpg"));
    cut.resize(cut.size() / 2);
    test::writeFile(dir.file("cut.jpg"), cut);
    test::writeFile(dir.file("old.jpg"), "old");
    const size_t files = filesIn(dir.path());
    std::string loading;
    try {
        LoadPicture(dir.file("cut.jpg"));
    } catch (const Error& e) {
        loading = e.what();
    }
    ASSERT_FALSE(loading.empty());
    try {
        CopyPicture(dir.file("cut.jpg"), dir.file("old.jpg"), options);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.what(), loading);
    }
    EXPECT_EQ(test::readFile(dir.file("old.jpg")), "old");
    EXPECT_EQ(filesIn(dir.path()), files);
    // A picture that cannot be read is told before a file that cannot be written.
    EXPECT_EQ(kindOf([&] { CopyPicture(dir.file("cut.jpg"), dir.file("none/x.jpg")); }),
              ErrorKind::Format);
    EXPECT_EQ(kindOf([&] { CopyPicture(dir.file("in.jpg"), dir.file("none/x.jpg")); }),
              ErrorKind::File);
}

TEST_F(Files, ASignalDuringASaveRemovesTheTemporaryFileAndEndsTheProgram)
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t child = fork();
        if (child == 0) {
            AtomicFileOutput out(dir.file("p.bmp"));
            out.write("partial", 7);
            kill(getpid(), signal);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_EQ(filesIn(dir.path()), 0u) << signal;
    }
}

TEST_F(Files, StaleTemporariesOfDeadSavesAreRemovedOnTheNextSave)
{
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    const std::string alive = std::to_string(getppid());
    for (const std::string& name : std::vector<std::string>{
             ".p.bmp.lvx" + dead + ".Ab3xYz", ".lvx" + dead + ".Qq0000",
             ".p.bmp.lvx" + alive + ".Ab3xYz", ".q.bmp.lvx" + dead + ".x", ".p.bmp.other"})
        test::writeFile(dir.file(name), "left over");
    SavePicture(picture, dir.file("p.bmp"));
    EXPECT_FALSE(fs::exists(dir.file(".p.bmp.lvx" + dead + ".Ab3xYz")));
    EXPECT_FALSE(fs::exists(dir.file(".lvx" + dead + ".Qq0000")));
    EXPECT_TRUE(fs::exists(dir.file(".p.bmp.lvx" + alive + ".Ab3xYz")));  // still being written
    EXPECT_TRUE(fs::exists(dir.file(".q.bmp.lvx" + dead + ".x")));        // not a name of ours
    EXPECT_TRUE(fs::exists(dir.file(".p.bmp.other")));
}

TEST_F(Files, SavingOverAFileKeepsOnlyItsPermissionBitsAndItsGroup)
{
    const std::string target = dir.file("p.bmp");
    test::writeFile(target, "old");
    ASSERT_EQ(chmod(target.c_str(), 06775), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    }
    struct stat before;
    ASSERT_EQ(stat(target.c_str(), &before), 0);
    SavePicture(picture, target);
    struct stat after;
    ASSERT_EQ(stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0775u);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_uid, geteuid());
}

TEST_F(Files, TheLongestNameSavesAndAnEmptyOneIsRefused)
{
    const std::string longest = dir.file(std::string(251, 'n') + ".bmp");
    EXPECT_EQ(SavePicture(picture, longest), longest);
    EXPECT_TRUE(LoadPicture(longest).samePixels(picture));
    EXPECT_EQ(filesIn(dir.path()), 1u);
    EXPECT_EQ(kindOf([&] { SavePicture(picture, ""); }), ErrorKind::BadArgument);
    EXPECT_EQ(kindOf([&] { SavePicture(picture, dir.path().string() + "/"); }),
              ErrorKind::BadArgument);
}

TEST_F(Files, NonRegularFilesAreRefusedWithoutBlocking)
{
    ASSERT_EQ(mkfifo(dir.file("f.png").c_str(), 0600), 0);
    for (const std::string& name : {dir.file("f.png"), dir.path().string()}) {
        try {
            readWholeFile(name);
            ADD_FAILURE() << name;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), name + ": 通常のファイルではありません");
        }
    }
}

TEST_F(Files, SavingAnEmptyPictureIsRefused)
{
    EXPECT_EQ(kindOf([&] { SavePicture(Raster(), dir.file("e.jpg")); }), ErrorKind::BadArgument);
    EXPECT_FALSE(fs::exists(dir.file("e.jpg")));
}

}  // namespace
}  // namespace lumavex
