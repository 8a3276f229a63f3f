#pragma once

#include <cstdint>
#include <memory>

#include "core/progress.h"
#include "core/raster.h"
#include "core/row_stage.h"

namespace lumavex {

/// The step weight of the blurs in thousandths: RoundHalfAway(100 / width x 10)
/// (30 -> 33, 16 -> 63, 10 -> 100, 6 -> 167). Throws Error(BadArgument) if width < 1.
int32_t StepWeight(int width);

/// Fades a band of width pixels along all four edges of the picture into the colour, in place
/// (top row pure colour, corners mixed twice). The mixing truncates in the negative of the
/// picture, so mixes round up; channels that leave 0..255 keep their low 8 bits. Afterwards the
/// picture's copy mode is NOTSRCCOPY and its brush white. One progress mark per
/// (H - 1) div 20 + 1 rows, cleared at the end (the sink may be null). Throws
/// Error(BadArgument) if width < 1; the picture is then untouched.
void FlameBlur(Raster& picture, Color colour, int width, ProgressSink* progress = nullptr);

/// Keeps the centred disc of radius R - width (R = half the shorter side, centre (W div 2,
/// H div 2)), fades the ring out to R into the colour and paints everything beyond in it, in
/// place. Mixing, surface state, progress and refusal as FlameBlur.
void CircleBlur(Raster& picture, Color colour, int width, ProgressSink* progress = nullptr);

/// The EllipseBlur command: the target is stretched onto the scratch raster made s x s
/// (s the longer side, copy mode SRCCOPY), CircleBlur runs there with the width in scratch
/// pixels, and the result is stretched back over the target (copy mode set to SRCCOPY). Both
/// stretches are nearest neighbour. Throws Error(BadArgument) if width < 1 and Error(TooLarge)
/// if the square would exceed the size limit; target and scratch are then untouched.
void EllipseBlur(Raster& target, Raster& scratch, Color colour, int width,
                 ProgressSink* progress = nullptr);

/// The Blur command: each channel becomes the integer mean of its 3 x 3 neighbourhood, edges
/// repeated (the box filter with divisor 9).
void Blur(Raster& picture);
/// Blur for a picture still being filled from the top.
std::unique_ptr<RowStage> BlurStage();

}  // namespace lumavex
