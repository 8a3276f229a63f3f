#pragma once

#include "core/progress.h"
#include "core/raster.h"

namespace lumavex {

/// Draws the fading shadow band along the right and bottom of an already enlarged picture:
/// columns and rows below W - width and H - width (the picture as it was) are never changed.
/// The band starts in the shadow colour (blue raised to 1 where it is 0) and lightens outward
/// in steps of (255 - channel) div width. Throws Error(BadArgument) if width < 1; the picture
/// is then untouched.
void AddShadow(Raster& picture, Color shadow, int width);

/// The AddShadow command: the scratch raster takes a copy of the target, enlarged by width
/// pixels to the right and bottom with the scratch raster's brush colour, AddShadow draws on
/// it, and the target takes its pixels over. The two trade pixels rather than copy them (as the
/// original's bitmap assignment shared them), so the scratch raster is left with the target's
/// previous pixels; both keep their own drawing surfaces. Throws Error(BadArgument) if
/// width < 1 and Error(TooLarge) if the enlarged picture would exceed the size limit; target and
/// scratch are then untouched.
void AddShadowCommand(Raster& target, Raster& scratch, Color shadow, int width);

/// The soft shadow: the target grows by width to the right and bottom, filled with the
/// background colour, and behind the unchanged picture lies, shifted by (width, width), a
/// rectangle of the shadow colour whose edges FlameBlur fades into the background. The scratch
/// raster, of the picture's size, holds the edges of that faded rectangle afterwards (the
/// n-pixel bands that show; its inside is not drawn), with copy mode NOTSRCCOPY and brush white
/// as FlameBlur leaves them; the target's brush is the background colour and its copy mode
/// SRCCOPY. Progress marks go to the sink (may be null). Throws as AddShadowCommand, before
/// anything changes.
void AddShadowSoft(Raster& target, Raster& scratch, Color shadow, Color background, int width,
                   ProgressSink* progress = nullptr);

}  // namespace lumavex
