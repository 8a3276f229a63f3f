#include "formats/plugin_dib.h"

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/byte_order.h"

namespace lumavex {

namespace {

constexpr const char* kUnrecognised = "認識できない画像形式です";

[[noreturn]] void refuse()
{
    throw Error(ErrorKind::Format, kUnrecognised);
}

void put32(std::vector<uint8_t>& out, uint64_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> PluginDibFile(std::span<const uint8_t> info, std::span<const uint8_t> pixels)
{
    if (info.size() < 40)
        refuse();
    const auto width = static_cast<int32_t>(le32(info.data() + 4));
    const auto height = static_cast<int32_t>(le32(info.data() + 8));
    const unsigned bits = le16(info.data() + 14);
    uint64_t colours = le32(info.data() + 32);
    if (colours == 0)
        colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    if (width <= 0 || height == 0 || height == INT32_MIN || bits == 0 || bits > 32 ||
        (colours > 256 && bits <= 8))
        refuse();
    const uint64_t rowSize = (uint64_t{bits} * static_cast<uint64_t>(width) + 31) / 32 * 4;
    const uint64_t imageSize =
        rowSize * static_cast<uint64_t>(height < 0 ? -int64_t{height} : height);
    const uint64_t infoSize = 40 + 4 * colours;
    if (info.size() < infoSize || pixels.size() < imageSize ||
        54 + infoSize + imageSize > UINT32_MAX)
        refuse();

    std::vector<uint8_t> file = {'B', 'M'};
    file.reserve(14 + infoSize + imageSize);
    put32(file, 14 + infoSize + imageSize);
    put32(file, 0);
    put32(file, 14 + infoSize);
    file.insert(file.end(), info.begin(), info.begin() + static_cast<ptrdiff_t>(infoSize));
    file.insert(file.end(), pixels.begin(), pixels.begin() + static_cast<ptrdiff_t>(imageSize));
    return file;
}

Raster PluginDibToRaster(std::span<const uint8_t> info, std::span<const uint8_t> pixels)
{
    const std::vector<uint8_t> file = PluginDibFile(info, pixels);
    try {
        return ReadBMP(file);
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::TooLarge)
            throw;
        refuse();
    }
}

}  // namespace lumavex
