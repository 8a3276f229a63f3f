#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "core/raster.h"
#include "formats/stream.h"

namespace lumavex {

/// The quality the JPEG codec writes with unless told otherwise (libjpeg's default).
constexpr int kDefaultJpegQuality = 75;

/// Decodes a JPEG file with libjpeg-turbo: colour, grey-scale (all three channels equal), CMYK
/// and YCCK (Adobe's inverted CMYK included); baseline, progressive or arithmetic-coded.
/// A file missing only its end marker is read; one that ends before its last row is not.
/// Throws Error(Format) for corrupt or truncated data, Error(TooLarge) for absurd sizes, both
/// before the picture is allocated where the header tells.
Raster ReadJPEG(std::span<const uint8_t> data);

/// ReadJPEG in two steps, for a reader that works on the top rows while the rest decode: the
/// constructor reads the header (throwing as ReadJPEG does), decode fills a picture of that size.
class JpegDecoder {
public:
    explicit JpegDecoder(std::span<const uint8_t> data);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    int width() const;
    int height() const;
    /// Decodes every row into picture, which must be width() x height(); rowsDone(n) is told
    /// each time rows 0 .. n - 1 are final. Call it once.
    void decode(Raster& picture, const std::function<void(int rows)>& rowsDone = {});

private:
    struct State;
    std::unique_ptr<State> m_state;
};

/// Writes the picture as a JFIF file with libjpeg's default settings (4:2:0 YCbCr, the
/// standard Huffman tables, no optimisation) at a quality of 1 .. 100: with the default
/// quality the bytes are those that libjpeg-turbo's cjpeg writes for the same pixels.
/// Throws Error(BadArgument) for another quality and the stream's Error(File).
/// With waitForRows, the picture is still being filled: before writing rows up to n it calls
/// waitForRows(n), which returns once at least n rows from the top are final (returning how
/// many are) or throws to stop the writing.
void WriteJPEG(OutputStream& out, const Raster& picture, int quality = kDefaultJpegQuality,
               const std::function<int(int rows)>& waitForRows = {});

}  // namespace lumavex
