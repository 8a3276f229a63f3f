#pragma once
// The inverted working pass of the reference effects, built from the raster's copy modes as the
// slow versions have it.

#include "core/raster.h"

namespace lumavex::test {

/// The inverted working pass: the picture is inverted, work runs on the negative, and the
/// worked picture is inverted back through a NOTSRCCOPY copy of a temporary. Afterwards the
/// picture's copy mode is NOTSRCCOPY and its brush white, as the pass leaves them.
template <class Work>
void NegativePass(Raster& picture, Work&& work)
{
    picture.setCopyMode(CopyMode::DstInvert);
    picture.copyRect(picture.bounds(), picture, picture.bounds());
    work(picture);
    Raster temporary(picture);
    picture.setBrushColor(kWhite);
    picture.fillRect(picture.bounds());
    picture.setCopyMode(CopyMode::NotSrcCopy);
    picture.copyRect(picture.bounds(), temporary, temporary.bounds());
}

}  // namespace lumavex::test
