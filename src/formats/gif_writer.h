#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/raster.h"
#include "formats/gif_lzw.h"
#include "formats/stream.h"

namespace lumavex {

/// The GIF fields of an image component's save parameters, with their defaults.
struct TIOParams {
    int32_t BitsPerPixel = 8;        ///< 1..8: 2^bits palette entries; 1 selects two colours
    std::string Version = "GIF89a";  ///< its first 6 characters are written
    int32_t Left = 0;                ///< image position, low 16 bits written
    int32_t Top = 0;
    int32_t Delay = 0;                      ///< graphic control delay, low 16 bits written
    uint8_t TransparentFlag = 0;            ///< ORed into the graphic control packed byte
    Color TransparentColor = kBlack;        ///< its nearest palette index is the transparent index
    uint8_t Interlaced = 0;                 ///< nonzero: interlaced rows
    Color BackgroundColor = kBlack;         ///< its nearest palette index is the background index
    TGIFCompressProc Compressor = nullptr;  ///< the LZW compressor; none makes writing fail
};

/// Receives the percentage done: 0, 30, 70 and 100.
using GIFProgress = std::function<void(int percent)>;

/// Throws Error(TooLarge) unless a width x height picture fits the GIF's 16-bit sizes.
void checkGifSize(int64_t width, int64_t height);

/// Writes the picture as one GIF at the stream's position: header, logical screen with a global
/// colour table of 2^bits entries from the neural-network quantiser (or black and white for a
/// two-colour picture at 1 bit, the darker colour black), one graphic control extension, the
/// image descriptor, the image data from params.Compressor and the trailer.
/// Throws Error(BadArgument) for BitsPerPixel outside 1..8 or a Version shorter than 6
/// characters and Error(TooLarge) for sides beyond 65535, before writing anything; throws
/// Error(Unsupported) "LZW compressor not found" after the image descriptor when no compressor
/// is installed.
void WriteGIFStream(OutputStream& stream, const Raster& picture, const TIOParams& params,
                    const GIFProgress& progress = {});

/// Writes the GIF to a file, replacing it only when the whole GIF was written: a failure leaves
/// any old file as it was.
void WriteGIFFile(const std::string& fileName, const Raster& picture, const TIOParams& params,
                  const GIFProgress& progress = {});

}  // namespace lumavex
