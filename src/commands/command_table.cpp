#include "command_table.h"

#include <array>
#include <memory>
#include <string>

#include "core/error.h"
#include "effects/blurs.h"
#include "effects/drop_shadow.h"
#include "effects/merge.h"
#include "effects/panel.h"
#include "effects/shadow.h"
#include "effects/text.h"
#include "mask/fl_mask.h"
#include "toolkit/color_reduction.h"
#include "toolkit/image_ops.h"
#include "toolkit/resample.h"
#include "toolkit/rotate.h"

namespace lumavex {
namespace {

template <class T>
const T& settingsOf(const Settings& settings)
{
    if (const T* s = std::get_if<T>(&settings))
        return *s;
    throw Error(ErrorKind::BadArgument, "コマンドに合わない設定です");
}

TextRenderer& rendererOf(const CommandPictures& p)
{
    if (!p.renderer)
        throw Error(ErrorKind::BadArgument, "文字を描くフォントエンジンがありません");
    return *p.renderer;
}

void requireSide(int side, const char* what)
{
    if (side < 1)
        throw Error(ErrorKind::BadArgument,
                    std::string(what) + "は 1 以上でなければなりません: " + std::to_string(side));
}

void addShadow(const Settings& s, CommandPictures& p)
{
    const auto& shadow = settingsOf<ShadowSettings>(s);
    AddShadowCommand(p.target, p.scratch, shadow.color, shadow.width);
}

void addShadowSoft(const Settings& s, CommandPictures& p)
{
    const auto& shadow = settingsOf<SoftShadowSettings>(s);
    AddShadowSoft(p.target, p.scratch, shadow.color, shadow.background, shadow.width, p.progress);
}

void flameBlur(const Settings& s, CommandPictures& p)
{
    const auto& blur = settingsOf<EdgeBlurSettings>(s);
    FlameBlur(p.target, blur.color, blur.width, p.progress);
}

void circleBlur(const Settings& s, CommandPictures& p)
{
    const auto& blur = settingsOf<EdgeBlurSettings>(s);
    CircleBlur(p.target, blur.color, blur.width, p.progress);
}

void ellipseBlur(const Settings& s, CommandPictures& p)
{
    const auto& blur = settingsOf<EdgeBlurSettings>(s);
    EllipseBlur(p.target, p.scratch, blur.color, blur.width, p.progress);
}

void panel(const Settings& s, CommandPictures& p)
{
    const auto& bevel = settingsOf<PanelSettings>(s);
    Panel(p.target, bevel.level1, bevel.level2, bevel.width);
}

void textOut(const Settings& s, CommandPictures& p)
{
    TextOut(p.target, settingsOf<TextSettings>(s), rendererOf(p));
}

void textTexture(const Settings& s, CommandPictures& p)
{
    TextTexture(p.target, settingsOf<TextSettings>(s), rendererOf(p));
}

void blur(const Settings& s, CommandPictures& p)
{
    settingsOf<NoSettings>(s);
    Blur(p.target);
}

// The target casts its own shadow: a floating picture is shaded by its shapes, not by those of
// the picture beneath it.
void dropBlurShadow(const Settings& s, CommandPictures& p)
{
    const auto& shadow = settingsOf<DropShadowSettings>(s);
    DropBlurShadow(p.target, p.target, p.scratch, shadow.x, shadow.y, shadow.color,
                   shadow.background);
}

void mask(const Settings& s, CommandPictures& p)
{
    const auto& region = settingsOf<MaskSettings>(s);
    ApplyFLMaskToRegion(p.target, region.region.value_or(p.target.bounds()), 1);
}

// Both blends write into the main picture, whatever the target.
void mixPaste(const Settings& s, CommandPictures& p)
{
    const auto& mix = settingsOf<MixPasteSettings>(s);
    const Raster none;
    MixPasteCommand(p.main, p.scratch, p.floating ? *p.floating : none, mix.key, mix.x, mix.y);
}

void merge(const Settings& s, CommandPictures& p)
{
    const auto& blend = settingsOf<MergeSettings>(s);
    const Raster none;
    Merge(p.main, p.floating ? *p.floating : none, blend.rate);
}

void hFlip(const Settings& s, CommandPictures& p)
{
    settingsOf<NoSettings>(s);
    HFlip(p.target);
}

void vFlip(const Settings& s, CommandPictures& p)
{
    settingsOf<NoSettings>(s);
    VFlip(p.target);
}

void rotate(const Settings& s, CommandPictures& p)
{
    Rotate(p.target, settingsOf<RotateSettings>(s).degrees, true);
}

void resample(const Settings& s, CommandPictures& p)
{
    const auto& size = settingsOf<SizeSettings>(s);
    requireSide(size.width, "幅");
    requireSide(size.height, "高さ");
    Resample(p.target, size.width, size.height, kLanczos3Filter);
}

void reSize(const Settings& s, CommandPictures& p)
{
    const auto& size = settingsOf<SizeSettings>(s);
    ResizeCanvas(p.target, size.width, size.height);
}

void negative(const Settings& s, CommandPictures& p)
{
    settingsOf<NoSettings>(s);
    Negative(p.target);
}

void gray(const Settings& s, CommandPictures& p)
{
    settingsOf<NoSettings>(s);
    Gray(p.target);
}

template <void (*rows)(Raster&, int, int)>
std::unique_ptr<RowStage> rowByRow(const Settings& s, const Raster&)
{
    settingsOf<NoSettings>(s);
    return std::make_unique<RowByRowStage<rows>>();
}

std::unique_ptr<RowStage> blurStage(const Settings& s, const Raster&)
{
    settingsOf<NoSettings>(s);
    return BlurStage();
}

std::unique_ptr<RowStage> resampleStage(const Settings& s, const Raster& source)
{
    const auto& size = settingsOf<SizeSettings>(s);
    requireSide(size.width, "幅");
    requireSide(size.height, "高さ");
    return ResampleStage(source, size.width, size.height, kLanczos3Filter);
}

void convert(const Settings& s, CommandPictures& p)
{
    ReduceColors(p.target, settingsOf<ColorCountSettings>(s).colors);
}

using enum CommandId;
using enum SettingsSource;

// Several commands share an undo label: the flips, rotation, negative and grey scale are all
// "上下反転", resampling and canvas resizing both "ReSample".
const std::array<CommandInfo, 24> kCommands = {{
    {AddShadow, "add-shadow", "影付け", Target::Chosen, Parameters, false, 1, addShadow},
    {AddShadowSoft, "add-shadow-soft", "影付け", Target::Chosen, Parameters, true, 2,
     addShadowSoft},
    {FlameBlur, "flame-blur", "輪郭ぼかし", Target::Chosen, Parameters, false, 3, flameBlur},
    {CircleBlur, "circle-blur", "CircleBlur", Target::Chosen, Parameters, false, 4, circleBlur},
    {EllipseBlur, "ellipse-blur", "EllipseBlur", Target::Chosen, Parameters, false, 5, ellipseBlur},
    {Panel, "panel", "Panel", Target::Chosen, Parameters, false, 6, panel},
    {TextOut, "text-out", "テキスト", Target::Chosen, TextDialog, false, -1, textOut},
    {Blur, "blur", "ぼかし", Target::Chosen, None, false, -1, blur, blurStage},
    {DropBlurShadow, "drop-blur-shadow", "DropBlurShadow", Target::Chosen, Parameters, false, 8,
     dropBlurShadow},
    {TextTexture, "text-texture", "テキスト", Target::Chosen, TextDialog, false, -1, textTexture},
    {Mask, "fl-mask", "Mask", Target::Chosen, MaskEditor, false, -1, mask},
    {MixPaste, "mix-paste", nullptr, Target::Chosen, Document, false, -1, mixPaste},
    {Merge, "merge", "Marge", Target::Chosen, Parameters, false, 7, merge},
    {ColorAdjust, "color-adjust", "色補正", Target::Chosen, PreviewDialog, false, -1, nullptr},
    {Effect, "effect", "効果", Target::Chosen, PreviewDialog, false, -1, nullptr},
    {HFlip, "hflip", "左右反転", Target::Main, None, false, -1, hFlip, rowByRow<HFlipRows>},
    {VFlip, "vflip", "上下反転", Target::Main, None, false, -1, vFlip},
    {Rotate, "rotate", "上下反転", Target::Main, RotateDialog, false, -1, rotate},
    {Resample, "resample", "ReSample", Target::Main, SizeDialog, false, -1, resample,
     resampleStage},
    {ReSize, "resize", "ReSample", Target::Main, SizeDialog, false, -1, reSize},
    {Negative, "negative", "上下反転", Target::Main, None, false, -1, negative,
     rowByRow<NegativeRows>},
    {Gray, "gray", "上下反転", Target::Main, None, false, -1, gray, rowByRow<GrayRows>},
    {Convert, "convert", "増減色", Target::Main, ColorCountDialog, false, -1, convert},
    // The count changes nothing: the editor shows it in a message.
    {CountColors, "count-colors", nullptr, Target::Main, None, false, -1, nullptr},
}};

}  // namespace

std::span<const CommandInfo> commandTable()
{
    return kCommands;
}

const CommandInfo& commandInfo(CommandId id)
{
    return kCommands.at(static_cast<size_t>(id));
}

const CommandInfo* findCommandByName(std::string_view name)
{
    for (const CommandInfo& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

void runCommand(CommandId id, const Settings& settings, CommandPictures& pictures)
{
    const CommandInfo& info = commandInfo(id);
    if (!info.run)
        throw Error(ErrorKind::BadArgument,
                    std::string(info.name) + " は編集画面のダイアログで行う命令です");
    info.run(settings, pictures);
}

}  // namespace lumavex
