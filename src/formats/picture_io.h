#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/raster.h"
#include "core/row_stage.h"
#include "formats/gif_lzw.h"
#include "formats/tiff.h"

namespace lumavex {

/// How SavePicture writes formats that have options.
struct SaveOptions {
    int gifBitsPerPixel = 8;     ///< 1..8: the GIF colour table has 2^bits entries
    bool gifInterlaced = false;  ///< GIF rows in interlaced order
    int quality = 75;            ///< JPEG's and lossy WebP's quality, 1 to 100
    bool webpLossless = false;   ///< WebP lossless instead of lossy
    TiffCompression tiffCompression = TiffCompression::Lzw;
    /// The GIF writer's LZW compressor; without one a GIF save fails with
    /// "LZW compressor not found" and writes nothing.
    TGIFCompressProc gifCompressor = GIFLZWEncode;
};

/// Reads a picture file through the format registry, chosen by the file's extension; when the
/// file does not start as its extension's format does but as another known format, or the name
/// has no known extension, by its first bytes. Throws lumavex::Error: File when it cannot be
/// read, Format when it is corrupt, Unsupported when no reader handles it.
Raster LoadPicture(const std::string& fileName);

/// Writes a picture by the lower-cased extension of its name: ".bmp" and ".dib" as 24-bit BMP,
/// ".jpg" and ".jpeg" as JPEG, ".png" as PNG, ".gif" as GIF, ".webp" as WebP, ".tif" and
/// ".tiff" as TIFF; a name without extension gets
/// ".bmp" appended. Any other extension is refused with Error(Unsupported) and nothing is
/// written. The file is written beside the target and renamed over it only when complete.
/// Returns the name actually written.
std::string SavePicture(const Raster& picture, const std::string& fileName,
                        const SaveOptions& options = {});

/// What is done to a picture between reading and writing it: whole to the picture read, or
/// stage's work following the decoder down the picture (the same bytes).
struct PictureWork {
    std::function<void(Raster&)> whole;
    /// Given the source, its rows not read yet; may return null when it cannot follow.
    std::function<std::unique_ptr<RowStage>(const Raster& source)> stage;
};

/// SavePicture(LoadPicture(input), output, options) with work.whole done between the two, with
/// the same files, messages and their order. From a JPEG file to a JPEG file, when the work
/// has a stage or there is none, another thread decodes while the stage and the encoder
/// follow it down the picture.
std::string CopyPicture(const std::string& input, const std::string& output,
                        const SaveOptions& options = {}, const PictureWork& work = {});

}  // namespace lumavex

namespace lumavex {

/// The name SavePicture writes for a file name: ".bmp" appended when it has no extension.
/// Throws Error(Unsupported) for an extension that no writer handles.
std::string savedFileName(const std::string& fileName);

/// The extensions (lower case, without the dot) of the registry's formats that SavePicture
/// writes, in the registry's order.
std::vector<std::string> savableExtensions();

/// The registry extension of the format a file's first bytes show ("png", "jpg", "webp" ...),
/// or "" when they show none that this program knows.
std::string sniffedExtension(std::span<const uint8_t> head);

}  // namespace lumavex
