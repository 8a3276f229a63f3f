#include "png_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include <png.h>

#include "core/error.h"
#include "formats/byte_order.h"
#include "formats/over_white.h"

namespace lumavex {

namespace {

// The largest temporary buffer an interlaced file may need (every pass is merged into it).
constexpr uint64_t kMaxInterlacedBytes = uint64_t{3} << 30;

// libpng reports a fatal error through the error function, which must not return: it jumps back
// into the guarded step that is running. Only plain C data lives on the frames it jumps over.
struct Context {
    std::jmp_buf jump;
    char message[256] = {};
    std::span<const uint8_t> data;
    size_t position = 0;
    OutputStream* out = nullptr;
    std::exception_ptr failure;
};

Context& contextOf(png_structp png)
{
    return *static_cast<Context*>(png_get_error_ptr(png));
}

[[noreturn]] void fail(png_structp png, png_const_charp message)
{
    Context& context = contextOf(png);
    std::snprintf(context.message, sizeof context.message, "%s", message);
    std::longjmp(context.jump, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

void readData(png_structp png, png_bytep target, size_t n)
{
    Context& context = *static_cast<Context*>(png_get_io_ptr(png));
    if (context.data.size() - context.position < n)
        png_error(png, "データが途中で終わっています");
    std::memcpy(target, context.data.data() + context.position, n);
    context.position += n;
}

void writeData(png_structp png, png_bytep bytes, size_t n)
{
    Context& context = *static_cast<Context*>(png_get_io_ptr(png));
    bool written = true;
    try {
        context.out->write(bytes, n);
    } catch (...) {
        context.failure = std::current_exception();
        written = false;
    }
    if (!written)
        png_error(png, "書き込みに失敗しました");
}

void flushData(png_structp) {}

/// Runs one step of libpng calls; false when libpng gave up inside it.
template <class Step>
bool guarded(Context& context, const Step& step)
{
    if (setjmp(context.jump) != 0)
        return false;
    step();
    return true;
}

Error corrupt(const Context& context)
{
    return Error(ErrorKind::Format,
                 "PNG ファイルが壊れています (" + std::string(context.message) + ")");
}

/// One row as libpng hands it over after the transforms (blue, green, red and maybe alpha, 8
/// or 16 bits, most significant byte first) into picture pixels.
void convertRow(const uint8_t* src, uint8_t* dst, int width, int channels, int depth)
{
    if (depth == 8 && channels == 3) {
        std::memcpy(dst, src, size_t(width) * 3);
    } else if (depth == 8) {
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = overWhite(src[0], src[3]);
            dst[1] = overWhite(src[1], src[3]);
            dst[2] = overWhite(src[2], src[3]);
        }
    } else if (channels == 3) {
        for (int x = 0; x < width; ++x, src += 6, dst += 3)
            for (int i = 0; i < 3; ++i)
                dst[i] = scale16To8(be16(src + 2 * i));
    } else {
        for (int x = 0; x < width; ++x, src += 8, dst += 3) {
            const uint32_t a = be16(src + 6);
            for (int i = 0; i < 3; ++i)
                dst[i] = overWhite16(be16(src + 2 * i), a);
        }
    }
}

struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Reader() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Writer() { png_destroy_write_struct(&png, &info); }
};

Error outOfMemory()
{
    return Error(ErrorKind::TooLarge, "PNG の処理に必要なメモリを確保できません");
}

}  // namespace

Raster ReadPNG(std::span<const uint8_t> data)
{
    if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0)
        throw Error(ErrorKind::Format, "PNG ファイルではありません");
    Context context;
    context.data = data;
    Reader r;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, fail, ignoreWarning);
    if (!r.png || !(r.info = png_create_info_struct(r.png)))
        throw outOfMemory();
    png_structp png = r.png;
    png_infop info = r.info;

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int channels = 0;
    int depth = 0;
    int passes = 0;
    size_t rowBytes = 0;
    if (!guarded(context, [&] {
            png_set_read_fn(png, &context, readData);
            // The picture size limit is checked below, with the program's own message.
            png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
            png_read_info(png, info);
            width = png_get_image_width(png, info);
            height = png_get_image_height(png, info);
        }))
        throw corrupt(context);
    // Before libpng sizes its row buffers by the header.
    checkRasterSize(width, height);
    if (!guarded(context, [&] {
            const int type = png_get_color_type(png, info);
            if (type == PNG_COLOR_TYPE_PALETTE)
                png_set_palette_to_rgb(png);
            if (type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
                png_set_expand_gray_1_2_4_to_8(png);
            if (png_get_valid(png, info, PNG_INFO_tRNS))
                png_set_tRNS_to_alpha(png);
            if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
                png_set_gray_to_rgb(png);
            png_set_bgr(png);
            passes = png_set_interlace_handling(png);
            png_read_update_info(png, info);
            channels = png_get_channels(png, info);
            depth = png_get_bit_depth(png, info);
            rowBytes = png_get_rowbytes(png, info);
        }))
        throw corrupt(context);
    if ((channels != 3 && channels != 4) || (depth != 8 && depth != 16) ||
        rowBytes != size_t(width) * channels * (depth / 8))
        throw Error(ErrorKind::Unsupported, "この PNG の形式には対応していません");

    Raster picture = Raster::unfilled(static_cast<int>(width), static_cast<int>(height));
    const int w = picture.width();
    const int h = picture.height();
    const bool direct = passes == 1 && depth == 8 && channels == 3;
    // Interlaced rows are merged pass by pass, so they need the whole picture at once.
    const uint64_t bufferBytes = direct ? 0 : uint64_t(rowBytes) * (passes == 1 ? 1 : h);
    if (bufferBytes > kMaxInterlacedBytes)
        throw Error(ErrorKind::TooLarge, "PNG 画像が大きすぎます (" + std::to_string(w) + " x " +
                                             std::to_string(h) + ")");
    std::unique_ptr<uint8_t[]> buffer(bufferBytes ? new (std::nothrow) uint8_t[bufferBytes]
                                                  : nullptr);
    if (bufferBytes && !buffer)
        throw outOfMemory();
    uint8_t* rows = buffer.get();

    if (!guarded(context, [&] {
            if (direct) {
                for (int y = 0; y < h; ++y)
                    png_read_row(png, picture.row(y), nullptr);
            } else if (passes == 1) {
                for (int y = 0; y < h; ++y) {
                    png_read_row(png, rows, nullptr);
                    convertRow(rows, picture.row(y), w, channels, depth);
                }
            } else {
                for (int pass = 0; pass < passes; ++pass)
                    for (int y = 0; y < h; ++y)
                        png_read_row(png, rows + rowBytes * y, nullptr);
            }
        }))
        throw corrupt(context);
    if (passes > 1)
        for (int y = 0; y < h; ++y)
            convertRow(rows + rowBytes * y, picture.row(y), w, channels, depth);
    return picture;
}

void WritePNG(OutputStream& out, const Raster& picture)
{
    if (picture.empty())
        throw Error(ErrorKind::BadArgument, "空の画像は PNG にできません");
    Context context;
    context.out = &out;
    Writer wr;
    wr.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, fail, ignoreWarning);
    if (!wr.png || !(wr.info = png_create_info_struct(wr.png)))
        throw outOfMemory();
    png_structp png = wr.png;
    png_infop info = wr.info;
    if (!guarded(context, [&] {
            png_set_write_fn(png, &context, writeData, flushData);
            // zlib's level 3 writes a photo four times faster than the default 6, for about
            // five per cent more bytes.
            png_set_compression_level(png, 3);
            png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width()),
                         static_cast<png_uint_32>(picture.height()), 8, PNG_COLOR_TYPE_RGB,
                         PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_write_info(png, info);
            png_set_bgr(png);
            for (int y = 0; y < picture.height(); ++y)
                png_write_row(png, picture.row(y));
            png_write_end(png, nullptr);
        })) {
        if (context.failure)
            std::rethrow_exception(context.failure);
        throw Error(ErrorKind::Format,
                    "PNG を書き込めません (" + std::string(context.message) + ")");
    }
}

}  // namespace lumavex
