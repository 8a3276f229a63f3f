#include "png_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include <png.h>

#include "core/error.h"
#include "formats/byte_order.h"
#include "formats/over_white.h"

namespace lumavex {

namespace {

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

/// A palette file's colours laid over white, as blue, green, red.
struct Palette {
    uint8_t bgr[256][3] = {};
    int size = 0;

    void read(png_structp png, png_infop info)
    {
        png_colorp colors = nullptr;
        int count = 0;
        if (!png_get_PLTE(png, info, &colors, &count) || count <= 0)
            png_error(png, "パレットがありません");
        png_bytep alpha = nullptr;
        int alphas = 0;
        if (!png_get_tRNS(png, info, &alpha, &alphas, nullptr))
            alphas = 0;
        size = std::min(count, 256);
        for (int i = 0; i < size; ++i) {
            const unsigned a = i < alphas ? alpha[i] : 255;
            bgr[i][0] = overWhite(colors[i].blue, a);
            bgr[i][1] = overWhite(colors[i].green, a);
            bgr[i][2] = overWhite(colors[i].red, a);
        }
    }
    /// False at an index beyond the palette: damage, refused as in BMP and GIF files.
    bool convert(const uint8_t* src, uint8_t* dst, int width) const
    {
        for (int x = 0; x < width; ++x, dst += 3) {
            if (src[x] >= size)
                return false;
            std::memcpy(dst, bgr[src[x]], 3);
        }
        return true;
    }
};

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
    Palette palette;
    if (!guarded(context, [&] {
            png_set_read_fn(png, &context, readData);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
            // Mutated files rarely keep their chunk checksums right.
            png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
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
            if (type == PNG_COLOR_TYPE_PALETTE) {
                // Indexes come one a byte and are looked up here, where one beyond the
                // palette can be seen.
                palette.read(png, info);
                png_set_packing(png);
            }
            if (type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
                png_set_expand_gray_1_2_4_to_8(png);
            if (type != PNG_COLOR_TYPE_PALETTE && png_get_valid(png, info, PNG_INFO_tRNS))
                png_set_tRNS_to_alpha(png);
            if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
                png_set_gray_to_rgb(png);
            png_set_bgr(png);
            // Interlaced rows come pass by pass, each as wide as its pass.
            passes = png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7 ? 7 : 1;
            png_read_update_info(png, info);
            channels = png_get_channels(png, info);
            depth = png_get_bit_depth(png, info);
            rowBytes = png_get_rowbytes(png, info);
        }))
        throw corrupt(context);
    const bool paletted = palette.size > 0;
    if (paletted ? channels != 1 || depth != 8
                 : (channels != 3 && channels != 4) || (depth != 8 && depth != 16) ||
                       rowBytes != size_t(width) * channels * (depth / 8))
        throw Error(ErrorKind::Unsupported, "この PNG の形式には対応していません");

    Raster picture = Raster::unfilled(static_cast<int>(width), static_cast<int>(height));
    const int w = picture.width();
    const int h = picture.height();
    const bool direct = passes == 1 && depth == 8 && channels == 3;
    // One row as libpng gives it, and for interlaced files one converted pass row, which is
    // then spread over the picture: the passes land straight in their final 8-bit pixels.
    std::vector<uint8_t> line(direct ? 0 : rowBytes);
    std::vector<uint8_t> passLine(passes == 1 ? 0 : size_t(w) * 3);
    auto convert = [&](const uint8_t* src, uint8_t* dst, int count) {
        if (!paletted)
            convertRow(src, dst, count, channels, depth);
        else if (!palette.convert(src, dst, count))
            png_error(png, "パレットにない色番号があります");
    };

    if (!guarded(context, [&] {
            if (direct) {
                for (int y = 0; y < h; ++y)
                    png_read_row(png, picture.row(y), nullptr);
            } else if (passes == 1) {
                for (int y = 0; y < h; ++y) {
                    png_read_row(png, line.data(), nullptr);
                    convert(line.data(), picture.row(y), w);
                }
            } else {
                for (int pass = 0; pass < 7; ++pass) {
                    const int columns = static_cast<int>(PNG_PASS_COLS(width, pass));
                    const int rows = static_cast<int>(PNG_PASS_ROWS(height, pass));
                    if (columns == 0 || rows == 0)
                        continue;  // libpng skips empty passes too
                    const int x0 = PNG_PASS_START_COL(pass);
                    const int dx = 1 << PNG_PASS_COL_SHIFT(pass);
                    for (int r = 0; r < rows; ++r) {
                        png_read_row(png, line.data(), nullptr);
                        convert(line.data(), passLine.data(), columns);
                        uint8_t* dst =
                            picture.row(static_cast<int>(PNG_ROW_FROM_PASS_ROW(r, pass)));
                        const uint8_t* src = passLine.data();
                        for (int x = x0; x < w; x += dx, src += 3)
                            std::memcpy(dst + 3 * x, src, 3);
                    }
                }
            }
        }))
        throw corrupt(context);
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
