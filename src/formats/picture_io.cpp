#include "picture_io.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <thread>

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/gif_save.h"
#include "formats/jpeg.h"
#include "formats/png_codec.h"
#include "formats/registry.h"
#include "formats/spi_plugins.h"
#include "formats/stream.h"
#include "formats/tiff.h"
#include "formats/webp.h"

namespace lumavex {

namespace {

// The first-bytes family of an extension whose files always start with a signature; none for
// formats without one (a bare DIB, metafiles, plug-ins' formats).
std::optional<std::string> signatureOf(const std::string& extension)
{
    if (extension == "jpeg")
        return "jpg";
    if (extension == "tiff")
        return "tif";
    for (const char* known : {"bmp", "jpg", "png", "gif", "ico", "webp", "tif"})
        if (extension == known)
            return extension;
    return std::nullopt;
}

}  // namespace

std::string sniffedExtension(std::span<const uint8_t> head)
{
    auto startsWith = [&](std::initializer_list<uint8_t> bytes, size_t at = 0) {
        return head.size() >= at + bytes.size() &&
               std::equal(bytes.begin(), bytes.end(), &head[at]);
    };
    if (startsWith({'B', 'M'}))
        return "bmp";
    if (startsWith({0xFF, 0xD8, 0xFF}))
        return "jpg";
    if (startsWith({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}))
        return "png";
    if (startsWith({'G', 'I', 'F', '8'}))
        return "gif";
    if (startsWith({0, 0, 1, 0}))
        return "ico";
    if (startsWith({'R', 'I', 'F', 'F'}) && startsWith({'W', 'E', 'B', 'P'}, 8))
        return "webp";
    if (startsWith({'I', 'I', 42, 0}) || startsWith({'M', 'M', 0, 42}))
        return "tif";
    return {};
}

namespace {

/// The built-in reader that goes first for a file, or null. A name that lies (a PNG saved as
/// .jpg) or says nothing: the first bytes decide, but only when they show a format; the
/// extension's reader stays first for everything else (a bare DIB, a plug-in's format).
const PictureFormat* readerFor(const std::string& fileName, std::span<const uint8_t> bytes)
{
    const std::string extension = lowerExtension(fileName);
    const PictureFormat* format = PictureFormats::instance().find(extension);
    const std::string sniffed = sniffedExtension(bytes);
    if (!sniffed.empty() && (!format || signatureOf(extension).value_or(sniffed) != sniffed))
        format = PictureFormats::instance().find(sniffed);
    return format;
}

bool isJpeg(const std::string& extension)
{
    return extension == "jpg" || extension == "jpeg";
}

/// LoadPicture of a file whose bytes are read already.
Raster loadPictureBytes(const std::string& fileName, const std::vector<uint8_t>& bytes)
{
    const PictureFormat* format = readerFor(fileName, bytes);
    // Without a reader of its own, the plug-ins' IsSupported looks at the first bytes.
    const SpiPlugins* plugins = SpiPlugins::instance();
    if (!format && !plugins)
        throw Error(ErrorKind::Unsupported, fileName + ": 認識できない画像形式です");
    try {
        if (!format)
            return plugins->read(bytes, fileName);
        try {
            return format->read(bytes, fileName);
        } catch (const Error& e) {
            // A plug-in's picture under a built-in extension (a Netpbm file named .bmp): the
            // built-in reader went first, the plug-ins come next, and its error stands when none
            // reads it either.
            if (!plugins || e.kind() == ErrorKind::File || plugins->registers(format->extension))
                throw;
            if (std::optional<Raster> picture = plugins->readWithPlugins(bytes, fileName))
                return std::move(*picture);
            throw;
        }
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::File)
            throw;
        throw Error(e.kind(), fileName + ": " + e.what());
    }
}

/// How many rows from the top of a picture one thread has finished while another reads them.
class RowGate {
public:
    void finished(int rows)
    {
        bool wake;
        {
            std::lock_guard lock(m_mutex);
            m_rows = rows;
            wake = rows >= m_wanted;
        }
        if (wake)
            m_changed.notify_all();
    }
    /// No more rows come: failed tells whether the producer stopped short.
    void close(bool failed)
    {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
            m_failed = failed;
        }
        m_changed.notify_all();
    }
    /// Waits for rows from the top, returning how many are finished; throws Stopped when the
    /// producer stopped short of them.
    struct Stopped {};
    int wait(int rows)
    {
        std::unique_lock lock(m_mutex);
        m_wanted = rows;
        m_changed.wait(lock, [&] { return m_rows >= rows || m_closed; });
        m_wanted = INT_MAX;
        if (m_rows < rows && m_failed)
            throw Stopped{};
        return m_rows;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_rows = 0;
    int m_wanted = INT_MAX;  // what the reader waits for
    bool m_closed = false;
    bool m_failed = false;
};

/// A JPEG file copied to a JPEG file with the decoder one band of rows ahead of the encoder, on
/// a thread of its own. False, with nothing written, when the input does not decode: the
/// caller's plain path then tells why.
bool streamJpegToJpeg(const std::vector<uint8_t>& bytes, const std::string& name,
                      const SaveOptions& options, const PictureWork& work)
{
    std::optional<JpegDecoder> decoder;
    try {
        decoder.emplace(bytes);
    } catch (const Error&) {
        return false;
    }
    Raster picture = Raster::unfilled(decoder->width(), decoder->height());
    std::unique_ptr<RowStage> stage;
    if (work.stage) {
        // A stage refused (bad settings, say) is told the plain way.
        try {
            stage = work.stage(picture);
        } catch (const Error&) {
        }
        if (!stage)
            return false;
    }
    Raster& written = stage ? stage->result(picture) : picture;
    RowGate gate;
    bool decoded = false;
    {
        std::jthread decoding([&] {
            try {
                decoder->decode(picture, [&](int rows) { gate.finished(rows); });
                decoded = true;
            } catch (...) {
            }
            gate.close(!decoded);
        });
        try {
            AtomicFileOutput out(name);
            // The encoder waits for rows the stage has done, the stage for rows decoded; one
            // that caught up waits for a few bands at once rather than each.
            const int h = picture.height();
            int ready = 0, done = 0;
            WriteJPEG(out, written, options.quality, [&](int rows) {
                while (done < rows) {
                    if (ready == h)
                        throw Error(ErrorKind::Format, "行の処理が途中で止まりました");
                    ready = gate.wait(std::min(h, ready + 48));
                    done = stage ? stage->advance(picture, ready) : ready;
                }
                return done;
            });
            out.commit();
        } catch (const RowGate::Stopped&) {
        } catch (...) {
            // A decoding error comes before any saving error, as it would without the overlap.
            decoding.join();
            if (decoded)
                throw;
        }
    }
    return decoded;
}

}  // namespace

Raster LoadPicture(const std::string& fileName)
{
    return loadPictureBytes(fileName, readWholeFile(fileName));
}

std::string CopyPicture(const std::string& input, const std::string& output,
                        const SaveOptions& options, const PictureWork& work)
{
    const std::string name = savedFileName(output);
    const std::vector<uint8_t> bytes = readWholeFile(input);
    const PictureFormat* reader = readerFor(input, bytes);
    if (reader && isJpeg(reader->extension) && isJpeg(lowerExtension(name)) &&
        (work.stage || !work.whole)) {
        if (streamJpegToJpeg(bytes, name, options, work))
            return name;
    }
    // Anything that did not stream starts again the plain way.
    Raster picture = loadPictureBytes(input, bytes);
    if (work.whole)
        work.whole(picture);
    return SavePicture(picture, output, options);
}

std::string savedFileName(const std::string& fileName)
{
    if (fileName.empty() || fileName.back() == '/')
        throw Error(ErrorKind::BadArgument, "保存するファイルの名前がありません");
    const std::string extension = lowerExtension(fileName);
    if (extension.empty())
        return fileName + ".bmp";
    for (const char* writable : {"bmp", "dib", "jpg", "jpeg", "png", "gif", "webp", "tif", "tiff"})
        if (extension == writable)
            return fileName;
    throw Error(
        ErrorKind::Unsupported,
        fileName +
            ": この形式では保存できません (.bmp .dib .jpg .jpeg .png .gif .webp .tif .tiff)");
}

std::string SavePicture(const Raster& picture, const std::string& fileName,
                        const SaveOptions& options)
{
    const std::string name = savedFileName(fileName);
    const std::string extension = lowerExtension(name);
    if (picture.empty())
        throw Error(ErrorKind::BadArgument, name + ": 空の画像は保存できません");
    AtomicFileOutput out(name);
    if (extension == "gif")
        savePictureGif(picture, out, options);
    else if (isJpeg(extension))
        WriteJPEG(out, picture, options.quality);
    else if (extension == "png")
        WritePNG(out, picture);
    else if (extension == "webp")
        WriteWebP(out, picture, options.quality, options.webpLossless);
    else if (extension == "tif" || extension == "tiff")
        WriteTIFF(out, picture, options.tiffCompression);
    else
        WriteBMP(out, picture);
    out.commit();
    return name;
}

std::vector<std::string> savableExtensions()
{
    // savedFileName is the one rule of what can be written; the registry knows what exists.
    std::vector<std::string> extensions;
    for (const PictureFormat& format : PictureFormats::instance().formats()) {
        try {
            savedFileName("picture." + format.extension);
            extensions.push_back(format.extension);
        } catch (const Error&) {
        }
    }
    return extensions;
}

}  // namespace lumavex
