#include "picture_io.h"

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/gif_save.h"
#include "formats/jpeg.h"
#include "formats/png_codec.h"
#include "formats/registry.h"
#include "formats/stream.h"

namespace lumavex {

Raster LoadPicture(const std::string& fileName)
{
    const PictureFormat* format = PictureFormats::instance().find(lowerExtension(fileName));
    if (!format)
        throw Error(ErrorKind::Unsupported, fileName + ": 認識できない画像形式です");
    const std::vector<uint8_t> bytes = readWholeFile(fileName);
    try {
        return format->read(bytes, fileName);
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
    if (extension == "bmp" || extension == "dib" || extension == "jpg" || extension == "jpeg" ||
        extension == "png" || extension == "gif")
        return fileName;
    throw Error(ErrorKind::Unsupported,
                fileName + ": この形式では保存できません (.bmp .dib .jpg .jpeg .png .gif)");
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
        WriteJPEG(out, picture, options.jpegQuality);
    else if (extension == "png")
        WritePNG(out, picture);
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
