#pragma once

// Two judges of the GIFs the writer makes: giflib, and a small LZW decoder of our own that also
// reports the code sequence (codes, widths, sub-block sizes) that giflib does not show.

#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace lumavex::test {

struct LzwCode {
    int code;
    int width;
};

/// One GIF image data block taken apart.
struct LzwStream {
    int minCodeSize = 0;
    std::vector<int> blockSizes;  ///< the count byte of every data sub-block
    std::vector<LzwCode> codes;   ///< every code read, Clear and End included
    std::vector<uint8_t> pixels;  ///< the decoded indices, in stream order
    size_t consumed = 0;          ///< bytes of the block, terminator included
    std::string error;            ///< empty when the block decoded cleanly to its End code
};

/// Decodes an image data block (minimum code size, sub-blocks, terminator) the way a GIF
/// decoder does: the width grows when the next dictionary code reaches 2^width, up to 12.
inline LzwStream decodeImageData(const uint8_t* data, size_t size)
{
    LzwStream s;
    if (size < 1) {
        s.error = "no minimum code size";
        return s;
    }
    s.minCodeSize = data[0];
    std::vector<uint8_t> bytes;
    size_t at = 1;
    while (true) {
        if (at >= size) {
            s.error = "no block terminator";
            return s;
        }
        const int n = data[at++];
        if (n == 0)
            break;
        if (at + n > size) {
            s.error = "sub-block runs past the end";
            return s;
        }
        s.blockSizes.push_back(n);
        bytes.insert(bytes.end(), data + at, data + at + n);
        at += n;
    }
    s.consumed = at;
    if (s.minCodeSize < 2 || s.minCodeSize > 8) {
        s.error = "bad minimum code size";
        return s;
    }

    const int clear = 1 << s.minCodeSize;
    const int end = clear + 1;
    std::vector<int> prefix(4096, -1);
    std::vector<uint8_t> suffix(4096, 0);
    std::vector<int> length(4096, 0);
    for (int c = 0; c < clear; ++c) {
        suffix[c] = static_cast<uint8_t>(c);
        length[c] = 1;
    }
    int width = s.minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    size_t bit = 0;
    std::vector<uint8_t> string;
    auto firstOf = [&](int code) {
        while (prefix[code] >= 0)
            code = prefix[code];
        return suffix[code];
    };
    auto emit = [&](int code) {
        string.resize(length[code]);
        for (int i = length[code] - 1; i >= 0; --i, code = prefix[code])
            string[i] = suffix[code];
        s.pixels.insert(s.pixels.end(), string.begin(), string.end());
    };
    while (true) {
        if (bit + width > bytes.size() * 8) {
            s.error = "codes run out before the End code";
            return s;
        }
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= ((bytes[bit / 8] >> (bit % 8)) & 1) << i;
        s.codes.push_back({code, width});
        if (code == clear) {
            width = s.minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            break;
        if (previous < 0) {
            if (code >= clear) {
                s.error = "first code after Clear is not a pixel";
                return s;
            }
            emit(code);
            previous = code;
            continue;
        }
        if (code < next) {
            emit(code);
            if (next < 4096) {
                prefix[next] = previous;
                suffix[next] = firstOf(code);
                length[next] = length[previous] + 1;
                ++next;
            }
        } else if (code == next && next < 4096) {
            prefix[next] = previous;
            suffix[next] = firstOf(previous);
            length[next] = length[previous] + 1;
            ++next;
            emit(code);
        } else {
            s.error = "code " + std::to_string(code) + " beyond the dictionary";
            return s;
        }
        previous = code;
        if (next == (1 << width) && width < 12)
            ++width;
    }
    // Whatever follows the End code in the last sub-block is padding of fewer than 8 bits.
    if (bytes.size() * 8 - bit >= 8)
        s.error = "bytes after the End code";
    return s;
}

/// A GIF as giflib reads it (DGifSlurp), its first image deinterlaced.
struct GiflibPicture {
    int error = 0;  ///< giflib's error code, 0 when it read the file
    int width = 0;
    int height = 0;
    int screenWidth = 0;
    int screenHeight = 0;
    int colorResolution = 0;
    int background = 0;
    int left = 0;
    int top = 0;
    bool interlaced = false;
    int colorCount = 0;            ///< entries of the global colour table
    std::vector<uint8_t> palette;  ///< red, green, blue per entry
    std::vector<uint8_t> indices;  ///< width x height, rows top to bottom
    int imageCount = 0;
    int delay = -1;
    int transparentIndex = -2;
    int disposal = -1;
};

inline GiflibPicture decodeWithGiflib(const std::vector<uint8_t>& file)
{
    struct Reader {
        const std::vector<uint8_t>* bytes;
        size_t at;
    } reader{&file, 0};
    auto read = [](GifFileType* gif, GifByteType* buffer, int n) -> int {
        auto* r = static_cast<Reader*>(gif->UserData);
        const size_t left = r->bytes->size() - r->at;
        const size_t count = static_cast<size_t>(n) < left ? static_cast<size_t>(n) : left;
        std::memcpy(buffer, r->bytes->data() + r->at, count);
        r->at += count;
        return static_cast<int>(count);
    };
    GiflibPicture out;
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, read, &error);
    if (!gif) {
        out.error = error ? error : -1;
        return out;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        out.error = gif->Error ? gif->Error : -1;
        DGifCloseFile(gif, &error);
        return out;
    }
    out.screenWidth = gif->SWidth;
    out.screenHeight = gif->SHeight;
    out.colorResolution = gif->SColorResolution;
    out.background = gif->SBackGroundColor;
    out.imageCount = gif->ImageCount;
    if (gif->SColorMap) {
        out.colorCount = gif->SColorMap->ColorCount;
        for (int i = 0; i < out.colorCount; ++i) {
            out.palette.push_back(gif->SColorMap->Colors[i].Red);
            out.palette.push_back(gif->SColorMap->Colors[i].Green);
            out.palette.push_back(gif->SColorMap->Colors[i].Blue);
        }
    }
    if (gif->ImageCount > 0) {
        const SavedImage& image = gif->SavedImages[0];
        out.width = image.ImageDesc.Width;
        out.height = image.ImageDesc.Height;
        out.left = image.ImageDesc.Left;
        out.top = image.ImageDesc.Top;
        out.interlaced = image.ImageDesc.Interlace;
        out.indices.assign(image.RasterBits,
                           image.RasterBits + static_cast<size_t>(out.width) * out.height);
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) {
            out.delay = gcb.DelayTime;
            out.transparentIndex = gcb.TransparentColor;
            out.disposal = gcb.DisposalMode;
        }
    }
    DGifCloseFile(gif, &error);
    return out;
}

}  // namespace lumavex::test
