// Nearest-neighbour stretching as EllipseBlur and Merge use it, against the index rule itself.
#include <gtest/gtest.h>

#include "core/raster.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

// Destination pixel (x, y) of a stretch of the source rectangle s onto d reads source index
// floor(i * sourceLength / destinationLength) along each axis, when that lies inside.
void expectStretched(const Raster& before, const Raster& after, const Raster& source, Rect d,
                     Rect s, CopyMode mode)
{
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            Color want = before.pixel(x, y);
            if (x >= d.left && x < d.right && y >= d.top && y < d.bottom) {
                const int64_t sx = s.left + int64_t{x - d.left} * s.width() / d.width();
                const int64_t sy = s.top + int64_t{y - d.top} * s.height() / d.height();
                if (source.contains(static_cast<int>(sx), static_cast<int>(sy))) {
                    const Color c = source.pixel(static_cast<int>(sx), static_cast<int>(sy));
                    want = mode == CopyMode::NotSrcCopy ? (~c & 0xFFFFFF) : c;
                }
            }
            ASSERT_EQ(after.pixel(x, y), want) << x << "," << y;
        }
}

TEST(Stretch, RowsOnlyOrBothAxesFollowTheIndexRule)
{
    const Raster source = test::makeGradient(23, 17);
    struct Case {
        Rect d, s;
    };
    for (const Case c : {Case{{0, 0, 23, 40}, {0, 0, 23, 17}},     // rows only, taller
                         Case{{0, 0, 23, 9}, {0, 0, 23, 17}},      // rows only, shorter
                         Case{{-5, 3, 18, 30}, {0, 0, 23, 17}},    // clipped on the left
                         Case{{4, 0, 27, 25}, {-3, 2, 20, 19}},    // source partly outside
                         Case{{0, 0, 30, 30}, {0, 0, 23, 17}},     // both axes
                         Case{{2, 2, 12, 20}, {5, 1, 25, 16}}}) {  // both, source overhanging
        for (CopyMode mode : {CopyMode::SrcCopy, CopyMode::NotSrcCopy}) {
            const Raster before = test::makeNoise(26, 33, 3);
            Raster after = before;
            after.setCopyMode(mode);
            after.copyRect(c.d, source, c.s);
            expectStretched(before, after, source, c.d, c.s, mode);
        }
    }
}

}  // namespace
}  // namespace lumavex
