#include "ico.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/byte_order.h"
#include "formats/png_codec.h"

namespace lumavex {

namespace {

constexpr size_t kMaxTries = 4;

Error corrupt(const std::string& why)
{
    return Error(ErrorKind::Format, "アイコン ファイルが壊れています (" + why + ")");
}

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool isPng(std::span<const uint8_t> image)
{
    return image.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, image.begin());
}

/// An image's size and depth as its own header gives them (the directory's bytes are often
/// wrong); none when the header cannot be read.
struct Candidate {
    std::span<const uint8_t> image;
    uint64_t pixels = 0;
    int bits = 0;
};

std::optional<Candidate> inspect(std::span<const uint8_t> image)
{
    Candidate c{image};
    if (isPng(image)) {
        if (image.size() < 33)  // the IHDR chunk
            return std::nullopt;
        c.pixels = uint64_t{be32(&image[16])} * be32(&image[20]);
        c.bits = image[24] * 4;  // bit depth by up to four channels: a rough order is enough
        return c;
    }
    if (image.size() < 16)
        return std::nullopt;
    const uint32_t headerSize = le32(&image[0]);
    if (headerSize == 12) {
        c.pixels = uint64_t{le16(&image[4])} * (le16(&image[6]) / 2);
        c.bits = le16(&image[10]);
    } else if (headerSize >= 16) {
        const int64_t w = static_cast<int32_t>(le32(&image[4]));
        const int64_t h = static_cast<int32_t>(le32(&image[8]));
        c.pixels = static_cast<uint64_t>((w < 0 ? -w : w) * ((h < 0 ? -h : h) / 2));
        c.bits = le16(&image[14]);
    } else {
        return std::nullopt;
    }
    return c;
}

}  // namespace

Raster ReadICO(std::span<const uint8_t> data)
{
    if (data.size() < 6 || le16(&data[0]) != 0 || (le16(&data[2]) != 1 && le16(&data[2]) != 2))
        throw Error(ErrorKind::Format, "アイコン ファイルではありません");
    const int count = le16(&data[4]);
    if (count == 0)
        throw corrupt("画像がありません");
    if (data.size() - 6 < size_t(count) * 16)
        throw corrupt("目次が途中で終わっています");

    std::vector<Candidate> candidates;
    for (int i = 0; i < count; ++i) {
        const uint8_t* entry = &data[6 + 16 * i];
        const uint64_t size = le32(entry + 8);
        const uint64_t offset = le32(entry + 12);
        if (offset > data.size() || size > data.size() - offset)
            continue;  // an entry pointing outside the file is passed over
        if (const auto c = inspect(data.subspan(offset, size)))
            candidates.push_back(*c);
    }
    if (candidates.empty())
        throw corrupt("読める画像がありません");
    // The largest and deepest image first; when it cannot be read, the next one.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) {
                         return a.pixels != b.pixels ? a.pixels > b.pixels : a.bits > b.bits;
                     });
    // A few tries at most: entries may all point at the same costly image.
    const size_t tries = std::min<size_t>(candidates.size(), kMaxTries);
    for (size_t i = 0;; ++i) {
        try {
            const auto image = candidates[i].image;
            return isPng(image) ? ReadPNG(image) : ReadIconDIB(image);
        } catch (const Error&) {
            if (i + 1 == tries)
                throw;
        }
    }
}

}  // namespace lumavex
