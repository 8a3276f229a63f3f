#include "fl_mask.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/error.h"

namespace lumavex {

std::vector<int> FLTileNumbers(int cols, int rows)
{
    const int n = cols * rows;
    std::vector<int> number(static_cast<size_t>(std::max(n, 0)), 0);
    int left = 0, right = cols - 1, top = 0, bottom = rows - 1;
    int k = 1;
    auto visit = [&](int x, int y) {
        if (k <= n)
            number[static_cast<size_t>(y) * cols + x] = k++;
    };
    // Once the bounds cross no visit is left, so the loop also ends there.
    while (k <= n && left <= right && top <= bottom) {
        for (int x = left; x <= right; ++x)
            visit(x, bottom);
        --bottom;
        for (int y = bottom; y >= top; --y)
            visit(right, y);
        --right;
        for (int x = right; x >= left; --x)
            visit(x, top);
        ++top;
        for (int y = top; y <= bottom; ++y)
            visit(left, y);
        ++left;
    }
    return number;
}

namespace {

// A tile row is 24 bytes: inverted as three 64-bit words.
constexpr int kTileBytes = kFLTile * 3;
static_assert(kTileBytes == 3 * sizeof(uint64_t));

// Where the tile numbered k sits: place[k - 1].
std::vector<std::pair<int, int>> tilePlaces(int cols, int rows)
{
    const std::vector<int> number = FLTileNumbers(cols, rows);
    std::vector<std::pair<int, int>> place(number.size());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x)
            place[number[static_cast<size_t>(y) * cols + x] - 1] = {x, y};
    return place;
}

// The mask of a region that lies inside the picture, worked in place: tiles k and n + 1 - k
// exchange places, both inverted (the middle tile of an odd count is only inverted), and the
// region's pixels outside the whole tiles turn white. The same result as masking a copy.
void maskInPlace(Raster& picture, const Rect& region)
{
    const int cols = region.width() / kFLTile;
    const int rows = region.height() / kFLTile;
    const int n = cols * rows;
    const std::vector<std::pair<int, int>> place = tilePlaces(cols, rows);
    auto tileRow = [&](std::pair<int, int> tile, int line) {
        return picture.row(region.top + tile.second * kFLTile + line) + region.left * 3 +
               tile.first * kTileBytes;
    };
    for (int k = 1; k <= n + 1 - k; ++k) {
        for (int line = 0; line < kFLTile; ++line) {
            uint8_t* a = tileRow(place[k - 1], line);
            uint8_t* b = tileRow(place[n - k], line);
            uint64_t wa[3], wb[3];
            std::memcpy(wa, a, kTileBytes);
            std::memcpy(wb, b, kTileBytes);
            for (int i = 0; i < 3; ++i) {
                wa[i] = ~wa[i];
                wb[i] = ~wb[i];
            }
            std::memcpy(a, wb, kTileBytes);
            std::memcpy(b, wa, kTileBytes);
        }
    }
    const Color brush = picture.brushColor();
    const BrushStyle style = picture.brushStyle();
    picture.setBrushColor(kWhite);
    picture.fillRect({region.left + cols * kFLTile, region.top, region.right, region.bottom});
    picture.fillRect(
        {region.left, region.top + rows * kFLTile, region.left + cols * kFLTile, region.bottom});
    picture.setBrushColor(brush);
    picture.setBrushStyle(style);
}

}  // namespace

void ApplyFLMask(Raster& destination, const Raster& source)
{
    if (destination.width() != source.width() || destination.height() != source.height())
        throw Error(ErrorKind::BadArgument,
                    "FL マスクの出力は入力と同じ大きさでなければなりません: " +
                        std::to_string(destination.width()) + " x " +
                        std::to_string(destination.height()));
    const int cols = source.width() / kFLTile;
    const int rows = source.height() / kFLTile;
    const int n = cols * rows;
    if (n == 0)
        return;
    const std::vector<std::pair<int, int>> place = tilePlaces(cols, rows);
    // Tile k goes to the place of tile n + 1 - k. Walking k along the spiral keeps both the
    // tiles read and the tiles written next to their predecessors, which the caches like; every
    // place is written once, so the order changes nothing.
    for (int k = 1; k <= n; ++k) {
        const auto [x, y] = place[k - 1];
        const auto [dx, dy] = place[n - k];
        for (int line = 0; line < kFLTile; ++line) {
            uint64_t words[3];
            std::memcpy(words, source.row(y * kFLTile + line) + x * kTileBytes, kTileBytes);
            for (uint64_t& word : words)
                word = ~word;
            std::memcpy(destination.row(dy * kFLTile + line) + dx * kTileBytes, words, kTileBytes);
        }
    }
}

Rect ApplyFLMaskToRegion(Raster& working, const Rect& selection, int zoom)
{
    Rect region = selection;
    if (region.right < region.left)
        std::swap(region.left, region.right);
    if (region.bottom < region.top)
        std::swap(region.top, region.bottom);
    if (zoom > 1) {
        region.left /= zoom;
        region.top /= zoom;
        region.right /= zoom;
        region.bottom /= zoom;
    }
    const int64_t width = int64_t{region.right} - region.left;
    const int64_t height = int64_t{region.bottom} - region.top;
    if (width == 0 || height == 0)
        return region;
    checkRasterSize(width, height);
    if (region.left >= 0 && region.top >= 0 && region.right <= working.width() &&
        region.bottom <= working.height()) {
        maskInPlace(working, region);
        return region;
    }

    // Partly outside the picture: the outside reads as white and is not written back.
    Raster source(region.width(), region.height());
    source.copyRect(source.bounds(), working, region);
    Raster destination(region.width(), region.height());
    ApplyFLMask(destination, source);

    const CopyMode mode = working.copyMode();
    working.setCopyMode(CopyMode::SrcCopy);
    working.draw(region.left, region.top, destination);
    working.setCopyMode(mode);
    return region;
}

}  // namespace lumavex
