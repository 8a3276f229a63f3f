#include "picture_io.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

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

Raster LoadPicture(const std::string& fileName)
{
    const std::string extension = lowerExtension(fileName);
    const PictureFormat* format = PictureFormats::instance().find(extension);
    const std::vector<uint8_t> bytes = readWholeFile(fileName);
    // A name that lies (a PNG saved as .jpg) or says nothing: the first bytes decide, but only
    // when they show a format; the extension's reader stays first for everything else (a bare
    // DIB, a plug-in's format).
    const std::string sniffed = sniffedExtension(bytes);
    if (!sniffed.empty() && (!format || signatureOf(extension).value_or(sniffed) != sniffed))
        format = PictureFormats::instance().find(sniffed);
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
    else if (extension == "jpg" || extension == "jpeg")
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
