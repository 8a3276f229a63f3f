// The decorative effects, each run as the editor's one-click pop-up command runs it on a
// document's main picture, with a fresh scratch picture (white brush).
#include "command.h"
#include "effects/blurs.h"
#include "effects/drop_shadow.h"
#include "effects/merge.h"
#include "effects/panel.h"
#include "effects/shadow.h"

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
OptionDef layer()
{
    return {"layer", OptionType::Text, "", "貼り付けた画像 (フローティング画像) のファイル", true};
}

const CommandFamily effectsCommands({
    {"add-shadow",
     "右と下に影を付けます (画像は影の幅だけ大きくなります)",
     {shadowWidth(), shadowColour()},
     2,
     [](Invocation& inv, Raster& picture) {
         Raster scratch;
         AddShadowCommand(picture, scratch, inv.color("color"), inv.integer("width"));
     }},
    {"add-shadow-soft",
     "ぼかした影を右下に付けます",
     {shadowWidth(), shadowColour(), backgroundColour()},
     2,
     [](Invocation& inv, Raster& picture) {
         Raster scratch;
         AddShadowSoft(picture, scratch, inv.color("color"), inv.color("bg-color"),
                       inv.integer("width"));
     }},
    {"flame-blur", "輪郭を色にぼかします", blurOptions("ぼかす色"), 2,
     [](Invocation& inv, Raster& picture) {
         FlameBlur(picture, inv.color("color"), inv.integer("width"));
     }},
    {"circle-blur", "円の外を色にぼかします", blurOptions("円の外の色"), 2,
     [](Invocation& inv, Raster& picture) {
         CircleBlur(picture, inv.color("color"), inv.integer("width"));
     }},
    {"ellipse-blur", "楕円の外を色にぼかします", blurOptions("楕円の外の色"), 2,
     [](Invocation& inv, Raster& picture) {
         Raster scratch;
         EllipseBlur(picture, scratch, inv.color("color"), inv.integer("width"));
     }},
    {"panel",
     "縁を面取りしたパネルにします",
     {width("10", "面取りの幅 (ピクセル)"), integer("level1", "0", "左、上の明度レベル"),
      integer("level2", "0", "右、下の暗度レベル")},
     2,
     [](Invocation& inv, Raster& picture) {
         Panel(picture, inv.integer("level1"), inv.integer("level2"), inv.integer("width"));
     }},
    {"blur",
     "ぼかします (3 x 3 の平均)",
     {},
     2,
     [](Invocation&, Raster& picture) { Blur(picture); }},
    {"drop-blur-shadow",
     "背景色以外の形にぼかした影を落とします",
     {integer("x", "3", "影の横のずれ (ピクセル)"), integer("y", "3", "影の縦のずれ (ピクセル)"),
      colour("color", "#808080", "影の色"), backgroundColour()},
     2,
     [](Invocation& inv, Raster& picture) {
         Raster scratch;
         DropBlurShadow(picture, picture, scratch, inv.integer("x"), inv.integer("y"),
                        inv.color("color"), inv.color("bg-color"));
     }},
    {"merge",
     "貼り付けた画像を画像の大きさに伸ばして合成します",
     {layer(), integer("rate", "50", "画像の比率 (％)")},
     2,
     [](Invocation& inv, Raster& picture) {
         const Raster pasted = inv.loadPicture(inv.text("layer"));
         Merge(picture, pasted, inv.integer("rate"));
     }},
    {"mix-paste",
     "貼り付けた画像を白を透明にして混ぜます (画像は 3 ピクセル大きくなります)",
     {layer(), integer("x", "0", "貼り付けた画像の左端"), integer("y", "0", "貼り付けた画像の上端"),
      colour("key-color", "#000000", "そのまま貼る色 (文字色)")},
     2,
     [](Invocation& inv, Raster& picture) {
         const Raster pasted = inv.loadPicture(inv.text("layer"));
         Raster scratch;
         MixPasteCommand(picture, scratch, pasted, inv.color("key-color"), inv.integer("x"),
                         inv.integer("y"));
     }},
});

}  // namespace
}  // namespace lumavex::cli
