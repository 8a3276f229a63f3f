#include "jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "core/error.h"
#include "core/raster.h"

namespace lumavex {

namespace {

// A progressive file with more scans than this is hostile: each scan costs a full pass over
// the picture, and encoders write about ten (libjpeg's own scripts at most 10, optimisers 20-odd).
constexpr int kMaxScans = 100;
// What one decode may hold in all, picture included (progressive files keep every coefficient):
// twice the largest picture, 2 GiB.
constexpr uint64_t kMaxDecodeMemory = 2 * kMaxPixelBytes;

// libjpeg reports a fatal error through error_exit, which must not return: it jumps back into
// the guarded step that is running. Only plain C data lives on the frames it jumps over.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    // Set by the callbacks, read after a jump back.
    volatile bool hitMarker;  // pixel data stopped before the picture was complete
    volatile bool tooManyScans;
    volatile bool corruptData;  // a progressive file's data is damaged: stop there
    char message[JMSG_LENGTH_MAX];
};

ErrorManager& errorsOf(j_common_ptr cinfo)
{
    return *reinterpret_cast<ErrorManager*>(cinfo->err);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    (*cinfo->err->format_message)(cinfo, errorsOf(cinfo).message);
    std::longjmp(errorsOf(cinfo).jump, 1);
}

bool isCorruptDataWarning(int code)
{
    return code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
           code == JWRN_BOGUS_PROGRESSION || code == JWRN_EXTRANEOUS_DATA ||
           code == JWRN_MUST_RESYNC || code == JWRN_NOT_SEQUENTIAL;
}

void emitMessage(j_common_ptr cinfo, int level)
{
    // Small damage is passed over as libjpeg does (a missing end marker, stray bytes), but
    // pixel data that stops short, because the file ends or a marker comes too early, counts
    // as truncated: libjpeg would fill the rest with grey, so decoding stops right there. A
    // progressive file stops at any damage: every later scan would go over the whole picture
    // again for nothing.
    if (level >= 0)
        return;
    ErrorManager& err = errorsOf(cinfo);
    const int code = cinfo->err->msg_code;
    const bool progressive =
        cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->progressive_mode;
    if (code == JWRN_HIT_MARKER)
        err.hitMarker = true;
    else if (progressive && isCorruptDataWarning(code))
        err.corruptData = true;
    else
        return;
    (*cinfo->err->format_message)(cinfo, err.message);
    std::longjmp(err.jump, 1);
}

void limitScans(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        errorsOf(cinfo).tooManyScans = true;
        std::longjmp(errorsOf(cinfo).jump, 1);
    }
}

void installErrors(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = emitMessage;
}

/// Runs one step of libjpeg calls; false when libjpeg gave up inside it.
template <class Step>
bool guarded(ErrorManager& err, const Step& step)
{
    if (setjmp(err.jump) != 0)
        return false;
    step();
    return true;
}

Error decodeError(const ErrorManager& err)
{
    if (err.hitMarker)
        return Error(ErrorKind::Format, "JPEG ファイルが壊れています (途中で終わっています)");
    if (err.corruptData)
        return Error(ErrorKind::Format,
                     "JPEG ファイルが壊れています (" + std::string(err.message) + ")");
    if (err.tooManyScans)
        return Error(ErrorKind::Format, "JPEG ファイルが壊れています (スキャンが " +
                                            std::to_string(kMaxScans) + " を超えています)");
    const int code = err.pub.msg_code;
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE || code == JERR_IMAGE_TOO_BIG ||
        code == JERR_WIDTH_OVERFLOW)
        return Error(ErrorKind::TooLarge,
                     "JPEG 画像が大きすぎます (" + std::string(err.message) + ")");
    return Error(ErrorKind::Format,
                 "JPEG ファイルが壊れています (" + std::string(err.message) + ")");
}

struct Decompressor {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    Decompressor()
    {
        installErrors(err);
        cinfo.err = &err.pub;
        progress.progress_monitor = limitScans;
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
};

/// CMYK rows to blue, green, red: each channel is (255 - ink) (255 - black) / 255, rounded.
/// Adobe's files store every ink inverted.
void cmykRow(const uint8_t* src, uint8_t* dst, int width, bool inverted)
{
    const unsigned flip = inverted ? 0 : 255;
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
        const unsigned k = src[3] ^ flip;
        dst[0] = static_cast<uint8_t>(((src[2] ^ flip) * k + 127) / 255);
        dst[1] = static_cast<uint8_t>(((src[1] ^ flip) * k + 127) / 255);
        dst[2] = static_cast<uint8_t>(((src[0] ^ flip) * k + 127) / 255);
    }
}

// The compressed bytes go to the stream in blocks; a stream error ends the compression and is
// thrown again once libjpeg is out of the way.
struct StreamDestination {
    jpeg_destination_mgr pub{};
    OutputStream* out = nullptr;
    std::exception_ptr failure;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(1 << 16);

    bool flush(size_t n)
    {
        try {
            out->write(buffer.data(), n);
            return true;
        } catch (...) {
            failure = std::current_exception();
            return false;
        }
    }
    void reset()
    {
        pub.next_output_byte = buffer.data();
        pub.free_in_buffer = buffer.size();
    }
};

StreamDestination& destinationOf(j_compress_ptr cinfo)
{
    return *static_cast<StreamDestination*>(cinfo->client_data);
}

void initDestination(j_compress_ptr cinfo)
{
    destinationOf(cinfo).reset();
}

boolean emptyOutput(j_compress_ptr cinfo)
{
    StreamDestination& d = destinationOf(cinfo);
    if (!d.flush(d.buffer.size()))
        std::longjmp(errorsOf(reinterpret_cast<j_common_ptr>(cinfo)).jump, 1);
    d.reset();
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    StreamDestination& d = destinationOf(cinfo);
    if (!d.flush(d.buffer.size() - d.pub.free_in_buffer))
        std::longjmp(errorsOf(reinterpret_cast<j_common_ptr>(cinfo)).jump, 1);
}

struct Compressor {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    Compressor()
    {
        installErrors(err);
        cinfo.err = &err.pub;
    }
    ~Compressor() { jpeg_destroy_compress(&cinfo); }
};

/// What stopped a compression: the stream's own error, or libjpeg's.
std::exception_ptr writeError(const Compressor& k, const StreamDestination& destination)
{
    if (destination.failure)
        return destination.failure;
    return std::make_exception_ptr(
        Error(ErrorKind::Format, "JPEG を書き込めません (" + std::string(k.err.message) + ")"));
}

}  // namespace

struct JpegDecoder::State {
    Decompressor d;
    bool cmyk = false;
};

JpegDecoder::JpegDecoder(std::span<const uint8_t> data) : m_state(std::make_unique<State>())
{
    if (data.empty())
        throw Error(ErrorKind::Format, "JPEG ファイルが壊れています (空のファイルです)");
    Decompressor& d = m_state->d;
    j_decompress_ptr c = &d.cinfo;
    if (!guarded(d.err, [&] {
            jpeg_create_decompress(c);
            c->progress = &d.progress;
            jpeg_mem_src(c, data.data(), static_cast<unsigned long>(data.size()));
            jpeg_read_header(c, TRUE);
        }))
        throw decodeError(d.err);

    checkRasterSize(c->image_width, c->image_height);
    m_state->cmyk = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
    c->out_color_space = m_state->cmyk ? JCS_CMYK : JCS_EXT_BGR;
    // libjpeg gets what the picture leaves of the budget; beyond it, it refuses before
    // allocating (it has no backing store). A progressive file is read whole by
    // jpeg_start_decompress, before the picture is touched.
    const uint64_t pictureBytes = uint64_t(rowStride(c->image_width)) * c->image_height;
    c->mem->max_memory_to_use = static_cast<long>(kMaxDecodeMemory - pictureBytes);
}

JpegDecoder::~JpegDecoder() = default;

int JpegDecoder::width() const
{
    return static_cast<int>(m_state->d.cinfo.image_width);
}

int JpegDecoder::height() const
{
    return static_cast<int>(m_state->d.cinfo.image_height);
}

void JpegDecoder::decode(Raster& picture, const std::function<void(int rows)>& rowsDone)
{
    Decompressor& d = m_state->d;
    j_decompress_ptr c = &d.cinfo;
    if (picture.width() != width() || picture.height() != height())
        throw Error(ErrorKind::BadArgument, "JPEG の画像と大きさが違います");
    if (!guarded(d.err, [&] { jpeg_start_decompress(c); }))
        throw decodeError(d.err);
    const bool cmyk = m_state->cmyk;
    std::vector<uint8_t> cmykLine(cmyk ? size_t{c->image_width} * 4 : 0);

    // Colour rows land straight in the picture; CMYK rows go through one line. rowsDone runs
    // outside libjpeg's frames, so that it may throw.
    while (c->output_scanline < c->output_height) {
        if (!guarded(d.err, [&] {
                const int y = static_cast<int>(c->output_scanline);
                if (cmyk) {
                    JSAMPROW line = cmykLine.data();
                    jpeg_read_scanlines(c, &line, 1);
                    cmykRow(line, picture.row(y), picture.width(), c->saw_Adobe_marker);
                } else {
                    JSAMPROW rows[16];
                    const int n = std::min<int>(16, picture.height() - y);
                    for (int k = 0; k < n; ++k)
                        rows[k] = picture.row(y + k);
                    jpeg_read_scanlines(c, rows, static_cast<JDIMENSION>(n));
                }
            }))
            throw decodeError(d.err);
        if (rowsDone)
            rowsDone(static_cast<int>(c->output_scanline));
    }
}

Raster ReadJPEG(std::span<const uint8_t> data)
{
    JpegDecoder decoder(data);
    Raster picture = Raster::unfilled(decoder.width(), decoder.height());
    decoder.decode(picture);
    return picture;
}

void WriteJPEG(OutputStream& out, const Raster& picture, int quality,
               const std::function<int(int rows)>& waitForRows)
{
    if (quality < 1 || quality > 100)
        throw Error(ErrorKind::BadArgument, "JPEG の画質 " + std::to_string(quality) +
                                                " は 1 から 100 まででなければなりません");
    if (picture.empty())
        throw Error(ErrorKind::BadArgument, "空の画像は JPEG にできません");
    Compressor k;
    j_compress_ptr c = &k.cinfo;
    StreamDestination destination;
    destination.out = &out;
    destination.pub.init_destination = initDestination;
    destination.pub.empty_output_buffer = emptyOutput;
    destination.pub.term_destination = termDestination;

    if (!guarded(k.err, [&] {
            jpeg_create_compress(c);
            c->client_data = &destination;
            c->dest = &destination.pub;
            c->image_width = static_cast<JDIMENSION>(picture.width());
            c->image_height = static_cast<JDIMENSION>(picture.height());
            c->input_components = 3;
            c->in_color_space = JCS_EXT_BGR;
            jpeg_set_defaults(c);
            jpeg_set_quality(c, quality, TRUE);
            jpeg_start_compress(c, TRUE);
        }))
        std::rethrow_exception(writeError(k, destination));
    // The rows are written as they become ready; waitForRows runs outside libjpeg's frames, so
    // that it may throw.
    int ready = waitForRows ? 0 : picture.height();
    while (c->next_scanline < c->image_height) {
        const int y = static_cast<int>(c->next_scanline);
        const int n = std::min<int>(16, picture.height() - y);
        if (ready < y + n)
            ready = waitForRows(y + n);
        if (!guarded(k.err, [&] {
                JSAMPROW rows[16];
                for (int r = 0; r < n; ++r)
                    rows[r] = const_cast<JSAMPROW>(picture.row(y + r));
                jpeg_write_scanlines(c, rows, static_cast<JDIMENSION>(n));
            }))
            std::rethrow_exception(writeError(k, destination));
    }
    if (!guarded(k.err, [&] { jpeg_finish_compress(c); }))
        std::rethrow_exception(writeError(k, destination));
}

}  // namespace lumavex
