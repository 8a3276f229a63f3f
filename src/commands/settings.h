#pragma once
// The typed settings of each command: what the processing-parameters dialog, the command's own
// dialog or lumavex-fx's options give it. Defaults are the editor's initial parameters.

#include <optional>
#include <variant>

#include "core/raster.h"
#include "effects/text.h"

namespace lumavex {

constexpr Color kGrey = 0x00808080;

/// AddShadow: the band's width in pixels and its starting colour.
struct ShadowSettings {
    int width = 10;
    Color color = kBlack;
};

/// AddShadowSoft: the shadow's width and colour, and the background it fades into (BGColor).
struct SoftShadowSettings {
    int width = 10;
    Color color = kBlack;
    Color background = kWhite;
};

/// FlameBlur, CircleBlur and EllipseBlur: the faded band's width and the colour it fades into.
struct EdgeBlurSettings {
    int width = 30;
    Color color = kWhite;
};

/// Panel: the bevel's width and its light and dark levels.
struct PanelSettings {
    int width = 10;
    int level1 = 0;
    int level2 = 0;
};

/// DropBlurShadow: the shadow's offsets and colour, and the background that casts none.
struct DropShadowSettings {
    int x = 3;
    int y = 3;
    Color color = kGrey;
    Color background = kWhite;
};

/// Merge: the document's share of the blend in percent.
struct MergeSettings {
    int rate = 50;
};

/// MixPaste: the key colour pasted as it is, and the pasted picture's place over the document.
struct MixPasteSettings {
    Color key = kBlack;
    int x = 0;
    int y = 0;
};

/// Rotate: the angle in whole degrees, counter-clockwise.
struct RotateSettings {
    int degrees = 0;
};

/// Resample and ReSize: the new size.
struct SizeSettings {
    int width = 0;
    int height = 0;
};

/// Colour reduction: the number of colours (2, 16, 256, 32000 or 64000).
struct ColorCountSettings {
    int colors = 256;
};

/// The FL mask: the region in picture pixels (the whole picture when empty).
struct MaskSettings {
    std::optional<Rect> region;
};

/// Commands that take no settings.
struct NoSettings {};

using Settings =
    std::variant<NoSettings, ShadowSettings, SoftShadowSettings, EdgeBlurSettings, PanelSettings,
                 DropShadowSettings, MergeSettings, MixPasteSettings, TextSettings, RotateSettings,
                 SizeSettings, ColorCountSettings, MaskSettings>;

}  // namespace lumavex
