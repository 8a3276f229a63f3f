#include "registry.h"

#include <algorithm>
#include <cctype>

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/gif_read.h"
#include "formats/ico.h"
#include "formats/jpeg.h"
#include "formats/png_codec.h"
#include "formats/tiff.h"
#include "formats/webp.h"

namespace lumavex {

namespace {

std::string normalise(const std::string& extension)
{
    std::string e = !extension.empty() && extension[0] == '.' ? extension.substr(1) : extension;
    for (char& c : e)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

}  // namespace

std::string lowerExtension(const std::string& fileName)
{
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return normalise(fileName.substr(dot + 1));
}

PictureFormats& PictureFormats::instance()
{
    static PictureFormats formats;
    return formats;
}

PictureFormats::PictureFormats()
{
    // Descriptions as the open dialog's filter names the formats.
    auto reader = [](Raster (*decode)(std::span<const uint8_t>)) -> PictureReader {
        return [decode](std::span<const uint8_t> data, const std::string&) { return decode(data); };
    };
    // This program has no metafile renderer: the formats are known, but cannot be shown.
    const PictureReader metafile = [](std::span<const uint8_t>, const std::string&) -> Raster {
        throw Error(ErrorKind::Unsupported,
                    "メタファイルは表示できません (メタファイルの描画には対応していません)");
    };
    add({"bmp", "ﾋﾞｯﾄﾏｯﾌﾟ", reader(ReadBMP)});
    add({"dib", "Device Independent Bitmap", reader(ReadDIB)});
    add({"jpg", "JPEG Image File", reader(ReadJPEG)});
    add({"jpeg", "JPEG Image File", reader(ReadJPEG)});
    add({"png", "Portable Network Graphics", reader(ReadPNG)});
    add({"gif", "GIF", reader(ReadGIF)});
    add({"ico", "ｱｲｺﾝ", reader(ReadICO)});
    add({"webp", "WebP", reader(ReadWebP)});
    add({"tif", "TIFF", reader(ReadTIFF)});
    add({"tiff", "TIFF", reader(ReadTIFF)});
    add({"emf", "ｴﾝﾊﾝｽ ﾒﾀﾌｧｲﾙ", metafile});
    add({"wmf", "ﾒﾀﾌｧｲﾙ", metafile});
}

void PictureFormats::add(PictureFormat format)
{
    format.extension = normalise(format.extension);
    remove(format.extension);
    m_formats.push_back(std::move(format));
}

bool PictureFormats::remove(const std::string& extension)
{
    const std::string e = normalise(extension);
    const auto it = std::find_if(m_formats.begin(), m_formats.end(),
                                 [&](const PictureFormat& f) { return f.extension == e; });
    if (it == m_formats.end())
        return false;
    m_formats.erase(it);
    return true;
}

const PictureFormat* PictureFormats::find(const std::string& extension) const
{
    const std::string e = normalise(extension);
    for (const auto& f : m_formats)
        if (f.extension == e)
            return &f;
    return nullptr;
}

}  // namespace lumavex
