#include "commands/command_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/error.h"
#include "effects/drop_shadow.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

std::string label(CommandId id)
{
    const char* l = commandInfo(id).undoLabel;
    return l ? l : "";
}

TEST(CommandTable, RowsAreInIdOrderWithUniqueNames)
{
    std::set<std::string> names;
    for (size_t i = 0; i < commandTable().size(); ++i) {
        const CommandInfo& c = commandTable()[i];
        EXPECT_EQ(static_cast<size_t>(c.id), i) << c.name;
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        EXPECT_EQ(findCommandByName(c.name), &c);
    }
    EXPECT_EQ(findCommandByName("save"), nullptr);
}

TEST(CommandTable, SharedUndoLabelsStayShared)
{
    for (CommandId id : {CommandId::VFlip, CommandId::Rotate, CommandId::Negative, CommandId::Gray})
        EXPECT_EQ(label(id), "上下反転");
    EXPECT_EQ(label(CommandId::Resample), "ReSample");
    EXPECT_EQ(label(CommandId::ReSize), "ReSample");
    EXPECT_EQ(label(CommandId::AddShadow), "影付け");
    EXPECT_EQ(label(CommandId::AddShadowSoft), "影付け");
    EXPECT_EQ(label(CommandId::TextOut), "テキスト");
    EXPECT_EQ(label(CommandId::TextTexture), "テキスト");
    EXPECT_EQ(label(CommandId::Merge), "Marge");
    EXPECT_EQ(label(CommandId::HFlip), "左右反転");
    EXPECT_EQ(commandInfo(CommandId::MixPaste).undoLabel, nullptr);
}

TEST(CommandTable, ImageCommandsAlwaysWorkOnTheMainPicture)
{
    for (const CommandInfo& c : commandTable()) {
        const bool image = c.id >= CommandId::HFlip;
        EXPECT_EQ(c.target, image ? Target::Main : Target::Chosen) << c.name;
    }
    // Only AddShadowSoft reads its parameters after the snapshot.
    for (const CommandInfo& c : commandTable())
        EXPECT_EQ(c.readsAfterSnapshot, c.id == CommandId::AddShadowSoft) << c.name;
    EXPECT_EQ(commandInfo(CommandId::AddShadow).parametersPage, 1);
    EXPECT_EQ(commandInfo(CommandId::DropBlurShadow).parametersPage, 8);
    EXPECT_EQ(commandInfo(CommandId::Merge).parametersPage, 7);
}

struct Document {
    Raster main = test::makeGradient(100, 80);
    Raster floating = test::makeNoise(30, 20, 3);
    Raster scratch;
    CommandPictures on(Raster& target) { return {target, main, scratch, &floating}; }
};

TEST(RunCommand, AddShadowGrowsTheTargetByTheWidth)
{
    Document d;
    CommandPictures p = d.on(d.main);
    runCommand(CommandId::AddShadow, ShadowSettings{}, p);
    EXPECT_EQ(d.main.width(), 110);
    EXPECT_EQ(d.main.height(), 90);
    CommandPictures f = d.on(d.floating);
    runCommand(CommandId::AddShadow, ShadowSettings{4, kBlack}, f);
    EXPECT_EQ(d.floating.width(), 34);
    EXPECT_EQ(d.main.width(), 110);
}

TEST(RunCommand, RefusesSettingsOfAnotherKindAndTextWithoutAFontEngine)
{
    Document d;
    const Raster before = d.main;
    CommandPictures p = d.on(d.main);
    EXPECT_THROW(runCommand(CommandId::AddShadow, EdgeBlurSettings{}, p), Error);
    EXPECT_THROW(runCommand(CommandId::TextOut, TextSettings{}, p), Error);
    EXPECT_THROW(runCommand(CommandId::Resample, SizeSettings{0, 50}, p), Error);
    EXPECT_TRUE(d.main.samePixels(before));
}

TEST(RunCommand, MergeBlendsIntoTheMainPictureWhateverTheTarget)
{
    Document d;
    const Raster floatingBefore = d.floating;
    const Raster mainBefore = d.main;
    CommandPictures p = d.on(d.floating);
    runCommand(CommandId::Merge, MergeSettings{50}, p);
    EXPECT_TRUE(d.floating.samePixels(floatingBefore));
    EXPECT_FALSE(d.main.samePixels(mainBefore));
    EXPECT_EQ(d.main.width(), 100);
}

TEST(RunCommand, AFloatingTargetCastsItsOwnDropShadow)
{
    Document d;
    d.floating = Raster(40, 30, kWhite);
    d.floating.setBrushColor(kBlack);
    d.floating.fillRect({10, 10, 20, 20});
    Raster expected = d.floating;
    Raster scratch;
    DropBlurShadow(expected, expected, scratch, 3, 3, kGrey, kWhite);
    const Raster mainBefore = d.main;
    CommandPictures p = d.on(d.floating);
    runCommand(CommandId::DropBlurShadow, DropShadowSettings{}, p);
    EXPECT_TRUE(d.floating.samePixels(expected));
    EXPECT_TRUE(d.main.samePixels(mainBefore));
}

}  // namespace
}  // namespace lumavex
