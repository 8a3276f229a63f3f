#include "gif_read.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "core/error.h"

namespace lumavex {

namespace {

struct Source {
    std::span<const uint8_t> data;
    size_t position = 0;
};

int readData(GifFileType* gif, GifByteType* target, int n)
{
    Source& source = *static_cast<Source*>(gif->UserData);
    const size_t count = std::min(source.data.size() - source.position, static_cast<size_t>(n));
    if (count > 0)
        std::memcpy(target, source.data.data() + source.position, count);
    source.position += count;
    return static_cast<int>(count);
}

Error corrupt(const std::string& why)
{
    return Error(ErrorKind::Format, "GIF ファイルが壊れています (" + why + ")");
}

Error giflibError(int code)
{
    const char* text = GifErrorString(code);
    return corrupt(text ? text : "giflib のエラー " + std::to_string(code));
}

struct File {
    GifFileType* gif = nullptr;
    ~File()
    {
        int ignored;
        if (gif)
            DGifCloseFile(gif, &ignored);
    }
};

}  // namespace

Raster ReadGIF(std::span<const uint8_t> data)
{
    Source source{data};
    int error = 0;
    File file;
    file.gif = DGifOpen(&source, readData, &error);
    if (!file.gif) {
        if (error == D_GIF_ERR_NOT_GIF_FILE)
            throw Error(ErrorKind::Format, "GIF ファイルではありません");
        throw giflibError(error);
    }
    GifFileType* gif = file.gif;

    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            throw giflibError(gif->Error);
        if (record == TERMINATE_RECORD_TYPE)
            throw corrupt("画像がありません");
        if (record == EXTENSION_RECORD_TYPE) {
            int code;
            GifByteType* block;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                throw giflibError(gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparent = control.TransparentColor;
            }
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    throw giflibError(gif->Error);
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc(gif) == GIF_ERROR)
            throw giflibError(gif->Error);
        const GifImageDesc& image = gif->Image;
        if (image.Width <= 0 || image.Height <= 0)
            throw corrupt("画像の大きさが 0 です");
        const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
        if (!map || !map->Colors || map->ColorCount <= 0)
            throw corrupt("色表がありません");
        const int64_t right = int64_t{image.Left} + image.Width;
        const int64_t bottom = int64_t{image.Top} + image.Height;
        const int64_t width = std::max<int64_t>(gif->SWidth, right);
        const int64_t height = std::max<int64_t>(gif->SHeight, bottom);
        checkRasterSize(width, height);
        checkRasterSize(image.Width, image.Height);
        // Every LZW code takes at least 3 bits and stands for at most 4096 pixels: an image
        // larger than that is cut short, and refused before its picture is made.
        const uint64_t bitsLeft = uint64_t(data.size() - source.position) * 8;
        if (uint64_t(image.Width) * uint64_t(image.Height) > bitsLeft / 3 * 4096)
            throw corrupt("画像データが途中で終わっています");
        // The picture is made once its first row is read.
        std::optional<Raster> picture;

        // Interlaced images send every 8th row from 0, every 8th from 4, every 4th from 2,
        // then every 2nd from 1.
        std::vector<int> order;
        order.reserve(image.Height);
        if (image.Interlace) {
            for (const auto& [first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = first; y < image.Height; y += step)
                    order.push_back(y);
        } else {
            for (int y = 0; y < image.Height; ++y)
                order.push_back(y);
        }
        std::vector<GifPixelType> line(image.Width);
        for (const int y : order) {
            if (DGifGetLine(gif, line.data(), image.Width) == GIF_ERROR)
                throw giflibError(gif->Error);
            if (!picture)
                picture.emplace(static_cast<int>(width), static_cast<int>(height));
            uint8_t* dst = picture->row(image.Top + y) + 3 * size_t(image.Left);
            for (int x = 0; x < image.Width; ++x, dst += 3) {
                const int index = line[x];
                if (index == transparent)
                    continue;
                if (index >= map->ColorCount)
                    throw corrupt("色番号 " + std::to_string(index) + " が色表 (" +
                                  std::to_string(map->ColorCount) + " 色) の外です");
                const GifColorType& c = map->Colors[index];
                dst[0] = c.Blue;
                dst[1] = c.Green;
                dst[2] = c.Red;
            }
        }
        return std::move(*picture);
    }
}

}  // namespace lumavex
