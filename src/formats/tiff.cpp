#include "tiff.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

#include "core/error.h"

namespace lumavex {

namespace {

// The bytes libtiff reads from, or the growing file it writes into; libtiff seeks in both.
struct MemoryFile {
    std::span<const uint8_t> input;
    std::vector<uint8_t> output;
    bool writing = false;
    uint64_t position = 0;
    char message[256] = {};

    uint64_t size() const { return writing ? output.size() : input.size(); }
};

MemoryFile& fileOf(thandle_t handle)
{
    return *static_cast<MemoryFile*>(handle);
}

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t n)
{
    MemoryFile& file = fileOf(handle);
    if (n < 0 || file.position >= file.size())
        return 0;
    const uint64_t count =
        std::min<uint64_t>(static_cast<uint64_t>(n), file.size() - file.position);
    const uint8_t* from = file.writing ? file.output.data() : file.input.data();
    std::memcpy(buffer, from + file.position, count);
    file.position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t writeProc(thandle_t handle, void* buffer, tmsize_t n)
{
    MemoryFile& file = fileOf(handle);
    if (!file.writing || n < 0)
        return -1;
    const uint64_t end = file.position + static_cast<uint64_t>(n);
    if (end > file.output.size())
        file.output.resize(end);
    std::memcpy(file.output.data() + file.position, buffer, static_cast<size_t>(n));
    file.position = end;
    return n;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    MemoryFile& file = fileOf(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = file.position;
    else if (whence == SEEK_END)
        base = file.size();
    const uint64_t target = base + offset;
    if (target < base || target > (uint64_t{1} << 40))
        return static_cast<toff_t>(-1);
    file.position = target;
    return target;
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return fileOf(handle).size();
}

// The first error libtiff reports is the one the user sees; warnings are dropped.
int errorProc(TIFF*, void* user, const char*, const char* format, va_list args)
{
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    if (!file.message[0])
        std::vsnprintf(file.message, sizeof file.message, format, args);
    return 1;
}

int warningProc(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// libtiff's own allocations for one file (strips, tiles, tables) stay below this.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{256} << 20;

TiffHandle open(MemoryFile& file, const char* mode)
{
    // libtiff's warning and error handlers are per file, but it still calls the global ones
    // unless they are cleared.
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        throw Error(ErrorKind::TooLarge, "TIFF: メモリが足りません");
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options, errorProc, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options, warningProc, &file);
    TIFF* tiff = TIFFClientOpenExt("memory", mode, &file, readProc, writeProc, seekProc, closeProc,
                                   sizeProc, nullptr, nullptr, options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(tiff);
}

[[noreturn]] void corrupt(const MemoryFile& file, const char* fallback)
{
    throw Error(ErrorKind::Format, std::string("TIFF ファイルが壊れています (") +
                                       (file.message[0] ? file.message : fallback) + ")");
}

// Premultiplied RGBA as libtiff's RGBA interface gives it, laid over white.
inline uint8_t overWhitePremultiplied(uint32_t channel, uint32_t alpha)
{
    return static_cast<uint8_t>(std::min<uint32_t>(255, channel + 255 - alpha));
}

}  // namespace

Raster ReadTIFF(std::span<const uint8_t> data)
{
    MemoryFile file;
    file.input = data;
    TiffHandle tiff = open(file, "rm");
    if (!tiff)
        corrupt(file, "not a TIFF file");
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        corrupt(file, "no picture size");
    checkRasterSize(width, height);

    char why[1024] = {};
    if (!TIFFRGBAImageOK(tiff.get(), why))
        throw Error(ErrorKind::Unsupported,
                    std::string("この TIFF ファイルには対応していません (") + why + ")");
    TIFFRGBAImage image;
    // Stop at the first strip or tile that does not decode: a picture with holes in it would
    // be saved over the file without a word.
    if (!TIFFRGBAImageBegin(&image, tiff.get(), 1, why))
        corrupt(file, why);
    std::unique_ptr<TIFFRGBAImage, decltype(&TIFFRGBAImageEnd)> ending(&image, &TIFFRGBAImageEnd);
    image.req_orientation = ORIENTATION_TOPLEFT;

    Raster picture = Raster::unfilled(static_cast<int>(width), static_cast<int>(height));
    // A band of rows at a time, so the RGBA buffer stays small beside the picture.
    const uint32_t bandRows = std::max<uint32_t>(1, std::min<uint32_t>(height, (8u << 20) / width));
    std::vector<uint32_t> band(static_cast<size_t>(width) * bandRows);
    for (uint32_t top = 0; top < height; top += bandRows) {
        const uint32_t rows = std::min(bandRows, height - top);
        image.row_offset = static_cast<int>(top);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, band.data(), width, rows))
            corrupt(file, "the picture data cannot be decoded");
        for (uint32_t r = 0; r < rows; ++r) {
            const uint32_t* from = band.data() + static_cast<size_t>(r) * width;
            uint8_t* to = picture.row(static_cast<int>(top + r));
            for (uint32_t x = 0; x < width; ++x, to += 3) {
                const uint32_t p = from[x];
                const uint32_t a = TIFFGetA(p);
                to[0] = overWhitePremultiplied(TIFFGetB(p), a);
                to[1] = overWhitePremultiplied(TIFFGetG(p), a);
                to[2] = overWhitePremultiplied(TIFFGetR(p), a);
            }
        }
    }
    return picture;
}

void WriteTIFF(OutputStream& out, const Raster& picture, TiffCompression compression)
{
    MemoryFile file;
    file.writing = true;
    TiffHandle tiff = open(file, "w");
    if (!tiff)
        throw Error(ErrorKind::File, "TIFF: 書き込みを始められません");
    TIFF* t = tiff.get();
    const uint32_t width = static_cast<uint32_t>(picture.width());
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(picture.height()));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    switch (compression) {
        case TiffCompression::None: TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE); break;
        case TiffCompression::Lzw:
            TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
            TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
            break;
        case TiffCompression::Deflate:
            TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
            TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
            break;
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));

    std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* from = picture.row(y);
        for (size_t i = 0; i < rgb.size(); i += 3) {
            rgb[i] = from[i + 2];
            rgb[i + 1] = from[i + 1];
            rgb[i + 2] = from[i];
        }
        if (TIFFWriteScanline(t, rgb.data(), static_cast<uint32_t>(y), 0) < 0)
            throw Error(ErrorKind::File,
                        std::string("TIFF: 書き込めません (") + file.message + ")");
    }
    if (!TIFFWriteDirectory(t))
        throw Error(ErrorKind::File, std::string("TIFF: 書き込めません (") + file.message + ")");
    tiff.reset();
    out.write(file.output.data(), file.output.size());
}

}  // namespace lumavex
