#include "mask/fl_mask.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/error.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

using test::makeNoise;

// An independent spiral: a walker starts at the bottom-left going right and turns
// counter-clockwise (right, up, left, down) whenever the next tile is outside or already numbered.
std::vector<int> walkedNumbers(int cols, int rows)
{
    std::vector<int> number(cols * rows, 0);
    const int dx[] = {1, 0, -1, 0};
    const int dy[] = {0, -1, 0, 1};
    int x = 0, y = rows - 1, dir = 0;
    for (int k = 1; k <= cols * rows; ++k) {
        number[y * cols + x] = k;
        for (int turn = 0; turn < 4; ++turn) {
            const int nx = x + dx[dir], ny = y + dy[dir];
            if (nx >= 0 && ny >= 0 && nx < cols && ny < rows && number[ny * cols + nx] == 0) {
                x = nx;
                y = ny;
                break;
            }
            dir = (dir + 1) % 4;
        }
    }
    return number;
}

// The tile of picture p at tile position (tx, ty), inverted or not, equals tile (ux, uy) of q.
bool sameTile(const Raster& p, int tx, int ty, const Raster& q, int ux, int uy, bool inverted)
{
    for (int line = 0; line < 8; ++line)
        for (int i = 0; i < 24; ++i) {
            const int a = p.row(ty * 8 + line)[tx * 24 + i];
            const int b = q.row(uy * 8 + line)[ux * 24 + i];
            if (a != (inverted ? 255 - b : b))
                return false;
        }
    return true;
}

Raster masked(const Raster& source)
{
    Raster destination(source.width(), source.height());
    ApplyFLMask(destination, source);
    return destination;
}

TEST(FLTileNumbers, FollowTheSpiralOfTheExamples)
{
    // 3 x 2: (0,1), (1,1), (2,1), (2,0), (1,0), (0,0) are 1 to 6.
    EXPECT_EQ(FLTileNumbers(3, 2), (std::vector<int>{6, 5, 4, 1, 2, 3}));
    // 4 x 3: (0,2), (1,2), (2,2), (3,2), (3,1), (3,0), (2,0), (1,0), (0,0), (0,1), (1,1), (2,1).
    EXPECT_EQ(FLTileNumbers(4, 3), (std::vector<int>{9, 8, 7, 6, 10, 11, 12, 5, 1, 2, 3, 4}));
    EXPECT_EQ(FLTileNumbers(1, 1), (std::vector<int>{1}));
    EXPECT_TRUE(FLTileNumbers(0, 5).empty());
}

TEST(FLTileNumbers, MatchAWalkingSpiralOnEveryGridUpTo12)
{
    for (int cols = 1; cols <= 12; ++cols)
        for (int rows = 1; rows <= 12; ++rows)
            ASSERT_EQ(FLTileNumbers(cols, rows), walkedNumbers(cols, rows))
                << cols << " x " << rows;
}

TEST(ApplyFLMask, ExchangesTheRowsOfA3x2RegionInverted)
{
    const Raster source = makeNoise(24, 16, 1);
    const Raster result = masked(source);
    // Numbers k and 7 - k: (0,1) <-> (0,0), (1,1) <-> (1,0), (2,1) <-> (2,0).
    for (int x = 0; x < 3; ++x) {
        EXPECT_TRUE(sameTile(result, x, 0, source, x, 1, true)) << x;
        EXPECT_TRUE(sameTile(result, x, 1, source, x, 0, true)) << x;
    }
}

TEST(ApplyFLMask, MovesEveryTileToItsMirrorNumberOnALargerGrid)
{
    const Raster source = makeNoise(32 + 5, 24 + 3, 2);  // 4 x 3 tiles and a remainder
    const Raster result = masked(source);
    const std::vector<int> number = walkedNumbers(4, 3);
    for (int ty = 0; ty < 3; ++ty)
        for (int tx = 0; tx < 4; ++tx) {
            const int target = 13 - number[ty * 4 + tx];
            int ux = 0, uy = 0;
            for (int i = 0; i < 12; ++i)
                if (number[i] == target)
                    ux = i % 4, uy = i / 4;
            ASSERT_TRUE(sameTile(result, ux, uy, source, tx, ty, true)) << tx << "," << ty;
        }
    // The 5 columns on the right and 3 rows at the bottom stay white.
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (x >= 32 || y >= 24) {
                ASSERT_EQ(result.pixel(x, y), kWhite) << x << "," << y;
            }
}

TEST(ApplyFLMask, OnlyInvertsASingleTile)
{
    const Raster source = makeNoise(8, 8, 3);
    EXPECT_TRUE(sameTile(masked(source), 0, 0, source, 0, 0, true));
}

TEST(ApplyFLMask, LeavesARegionWithoutTilesWhite)
{
    for (auto [w, h] : {std::pair{7, 30}, std::pair{30, 7}, std::pair{1, 1}}) {
        const Raster result = masked(makeNoise(w, h, 4));
        EXPECT_TRUE(result.samePixels(Raster(w, h))) << w << " x " << h;
    }
}

TEST(ApplyFLMask, RefusesADestinationOfAnotherSize)
{
    Raster destination(16, 8);
    EXPECT_THROW(ApplyFLMask(destination, makeNoise(16, 16, 5)), Error);
    EXPECT_TRUE(destination.samePixels(Raster(16, 8)));
}

TEST(ApplyFLMaskToRegion, TwiceRestoresATileAlignedRegion)
{
    const Raster original = makeNoise(70, 50, 6);
    Raster picture = original;
    const Rect selection{8, 16, 8 + 56, 16 + 32};
    ApplyFLMaskToRegion(picture, selection);
    EXPECT_FALSE(picture.samePixels(original));
    ApplyFLMaskToRegion(picture, selection);
    EXPECT_TRUE(picture.samePixels(original));
}

TEST(ApplyFLMaskToRegion, MasksOnlyTheRegion)
{
    // Not on the grid (3 x 2 tiles and a remainder), an odd count (3 x 3, the middle tile stays
    // in place inverted), and a single tile.
    for (const Rect region : {Rect{10, 5, 37, 24}, Rect{4, 9, 28, 33}, Rect{50, 30, 58, 38}}) {
        const Raster original = makeNoise(60, 40, 7);
        Raster picture = original;
        EXPECT_EQ(ApplyFLMaskToRegion(picture, region), region);
        Raster part(region.width(), region.height());
        part.copyRect(part.bounds(), original, region);
        const Raster expected = masked(part);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                const bool inside =
                    x >= region.left && x < region.right && y >= region.top && y < region.bottom;
                ASSERT_EQ(picture.pixel(x, y), inside
                                                   ? expected.pixel(x - region.left, y - region.top)
                                                   : original.pixel(x, y))
                    << x << "," << y;
            }
    }
}

TEST(ApplyFLMaskToRegion, TheDesignTimeMarqueeMasks11x9TilesAndWhitensTheRest)
{
    const Raster original = makeNoise(600, 300, 8);
    Raster picture = original;
    ApplyFLMaskToRegion(picture, {476, 207, 476 + 89, 207 + 79}, 1);
    int whitened = 0;
    for (int y = 207; y < 286; ++y)
        for (int x = 476; x < 565; ++x) {
            const bool outsideTiles = x >= 476 + 88 || y >= 207 + 72;
            if (outsideTiles) {
                ASSERT_EQ(picture.pixel(x, y), kWhite) << x << "," << y;
                ++whitened;
            }
        }
    EXPECT_EQ(whitened, 89 * 79 - 88 * 72);
    // The tile numbered 1, at the region's bottom-left, is the inverse of tile 99, the last.
    Raster part(89, 79);
    part.copyRect(part.bounds(), original, {476, 207, 565, 286});
    Raster region(89, 79);
    region.copyRect(region.bounds(), picture, {476, 207, 565, 286});
    const std::vector<int> number = FLTileNumbers(11, 9);
    int lastX = 0, lastY = 0;
    for (int i = 0; i < 99; ++i)
        if (number[i] == 99)
            lastX = i % 11, lastY = i / 11;
    EXPECT_TRUE(sameTile(region, 0, 8, part, lastX, lastY, true));
    EXPECT_TRUE(sameTile(region, lastX, lastY, part, 0, 8, true));
}

TEST(ApplyFLMaskToRegion, DividesTheSelectionByTheZoomFactor)
{
    Raster picture = makeNoise(64, 64, 9);
    Raster direct = picture;
    // Display pixels 32 to 96 at zoom 2 are picture pixels 16 to 48.
    EXPECT_EQ(ApplyFLMaskToRegion(picture, {32, 32, 96, 96}, 2), (Rect{16, 16, 48, 48}));
    ApplyFLMaskToRegion(direct, {16, 16, 48, 48}, 1);
    EXPECT_TRUE(picture.samePixels(direct));
    // Zoom factors of 1 and below take the selection as it is.
    Raster atZero = makeNoise(64, 64, 9);
    EXPECT_EQ(ApplyFLMaskToRegion(atZero, {16, 16, 48, 48}, 0), (Rect{16, 16, 48, 48}));
    EXPECT_TRUE(atZero.samePixels(direct));
}

TEST(ApplyFLMaskToRegion, TakesASelectionDraggedUpAndLeftWithItsCornersSwapped)
{
    Raster dragged = makeNoise(50, 50, 10);
    Raster plain = dragged;
    EXPECT_EQ(ApplyFLMaskToRegion(dragged, {40, 48, 8, 16}, 1), (Rect{8, 16, 40, 48}));
    ApplyFLMaskToRegion(plain, {8, 16, 40, 48}, 1);
    EXPECT_TRUE(dragged.samePixels(plain));
    // Only up: the width stays, the height is turned round.
    Raster up = makeNoise(50, 50, 10);
    EXPECT_EQ(ApplyFLMaskToRegion(up, {8, 48, 40, 16}, 1), (Rect{8, 16, 40, 48}));
    EXPECT_TRUE(up.samePixels(plain));
}

TEST(ApplyFLMaskToRegion, ReadsOutsideAsWhiteAndWritesOnlyInside)
{
    // A 16 x 8 region half off the right edge: the outside tile reads white, so its inverse
    // (black) lands on the inside tile, and the inside tile's inverse is not written anywhere.
    const Raster original = makeNoise(24, 8, 11);
    Raster picture = original;
    ApplyFLMaskToRegion(picture, {16, 0, 32, 8}, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(picture.pixel(x, y), x >= 16 ? kBlack : original.pixel(x, y));
}

TEST(ApplyFLMaskToRegion, IgnoresAnEmptySelectionAndRefusesAnAbsurdOne)
{
    const Raster original = makeNoise(20, 20, 12);
    Raster picture = original;
    ApplyFLMaskToRegion(picture, {5, 5, 5, 15}, 1);
    EXPECT_TRUE(picture.samePixels(original));
    EXPECT_THROW(ApplyFLMaskToRegion(picture, {-2000000000, 0, 2000000000, 8}, 1), Error);
    EXPECT_THROW(ApplyFLMaskToRegion(picture, {0, 0, 100000, 100000}, 1), Error);
    EXPECT_TRUE(picture.samePixels(original));
}

}  // namespace
}  // namespace lumavex
