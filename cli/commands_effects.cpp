// The decorative effects, each run as the editor's one-click pop-up command runs it on a
// document's main picture, with a fresh scratch picture (white brush).
#include "command.h"

namespace lumavex::cli {
namespace {

OptionDef width(const char* defaultValue, const char* help)
{
    return {"width", OptionType::Integer, defaultValue, help};
}
OptionDef colour(const char* name, const char* defaultValue, const char* help)
{
    return {name, OptionType::Color, defaultValue, help};
}
OptionDef integer(const char* name, const char* defaultValue, const char* help)
{
    return {name, OptionType::Integer, defaultValue, help};
}
OptionDef shadowWidth()
{
    return width("10", "影の幅 (ピクセル)");
}
OptionDef shadowColour()
{
    return colour("color", "#000000", "影の色");
}
OptionDef backgroundColour()
{
    return colour("bg-color", "#FFFFFF", "背景色");
}
// An edge blur's band: its width and the colour it fades into.
std::vector<OptionDef> blurOptions(const char* colourHelp)
{
    return {width("30", "ぼかしの幅 (ピクセル)"), colour("color", "#FFFFFF", colourHelp)};
}
Settings edgeBlurSettings(const Invocation& inv)
{
    return EdgeBlurSettings{inv.integer("width"), inv.color("color")};
}
Settings noSettings(const Invocation&)
{
    return NoSettings{};
}
OptionDef layer()
{
    return {"layer", OptionType::Text, "", "貼り付けた画像 (フローティング画像) のファイル", true};
}

const CommandFamily effectsCommands({
    sharedCommand(CommandId::AddShadow, "右と下に影を付けます (画像は影の幅だけ大きくなります)",
                  {shadowWidth(), shadowColour()},
                  [](const Invocation& inv) -> Settings {
                      return ShadowSettings{inv.integer("width"), inv.color("color")};
                  }),
    sharedCommand(CommandId::AddShadowSoft, "ぼかした影を右下に付けます",
                  {shadowWidth(), shadowColour(), backgroundColour()},
                  [](const Invocation& inv) -> Settings {
                      return SoftShadowSettings{inv.integer("width"), inv.color("color"),
                                                inv.color("bg-color")};
                  }),
    sharedCommand(CommandId::FlameBlur, "輪郭を色にぼかします", blurOptions("ぼかす色"),
                  edgeBlurSettings),
    sharedCommand(CommandId::CircleBlur, "円の外を色にぼかします", blurOptions("円の外の色"),
                  edgeBlurSettings),
    sharedCommand(CommandId::EllipseBlur, "楕円の外を色にぼかします", blurOptions("楕円の外の色"),
                  edgeBlurSettings),
    sharedCommand(CommandId::Panel, "縁を面取りしたパネルにします",
                  {width("10", "面取りの幅 (ピクセル)"),
                   integer("level1", "0", "左、上の明度レベル"),
                   integer("level2", "0", "右、下の暗度レベル")},
                  [](const Invocation& inv) -> Settings {
                      return PanelSettings{inv.integer("width"), inv.integer("level1"),
                                           inv.integer("level2")};
                  }),
    sharedCommand(CommandId::Blur, "ぼかします (3 x 3 の平均)", {}, noSettings),
    sharedCommand(CommandId::DropBlurShadow, "背景色以外の形にぼかした影を落とします",
                  {integer("x", "3", "影の横のずれ (ピクセル)"),
                   integer("y", "3", "影の縦のずれ (ピクセル)"),
                   colour("color", "#808080", "影の色"), backgroundColour()},
                  [](const Invocation& inv) -> Settings {
                      return DropShadowSettings{inv.integer("x"), inv.integer("y"),
                                                inv.color("color"), inv.color("bg-color")};
                  }),
    sharedCommand(CommandId::Merge, "貼り付けた画像を画像の大きさに伸ばして合成します",
                  {layer(), integer("rate", "50", "画像の比率 (％)")},
                  [](const Invocation& inv) -> Settings {
                      return MergeSettings{inv.integer("rate")};
                  }),
    sharedCommand(
        CommandId::MixPaste,
        "貼り付けた画像を白を透明にして混ぜます (画像は 3 ピクセル大きくなります)",
        {layer(), integer("x", "0", "貼り付けた画像の左端"),
         integer("y", "0", "貼り付けた画像の上端"),
         colour("key-color", "#000000", "そのまま貼る色 (文字色)")},
        [](const Invocation& inv) -> Settings {
            return MixPasteSettings{inv.color("key-color"), inv.integer("x"), inv.integer("y")};
        }),
});

}  // namespace
}  // namespace lumavex::cli
