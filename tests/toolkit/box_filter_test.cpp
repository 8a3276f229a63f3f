#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "effects/error.h"
#include "support/test_pictures.h"
#include "toolkit/filters.h"

namespace lumavex {
namespace {

// The filter as written: each channel's nine neighbours, edges repeated, divided and clamped.
uint8_t plainBox(const uint8_t* bytes, size_t stride, int w, int h, int step, int x, int y,
                 int channel, int divisor)
{
    int sum = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int sx = std::clamp(x + dx, 0, w - 1);
            const int sy = std::clamp(y + dy, 0, h - 1);
            sum += bytes[sy * stride + sx * step + channel];
        }
    return static_cast<uint8_t>(std::min(255, sum / divisor));
}

TEST(BoxFilter3x3, EveryWidthAndHeightFromOneUp)
{
    for (int divisor : {9, 8, 1, 5})
        for (int h : {1, 2, 3, 5})
            for (int w = 1; w <= 40; w += (w < 12 ? 1 : 9)) {
                const Raster source = test::makeNoise(w, h, w * 100 + h);
                Raster r = source;
                BoxFilter3x3(r, divisor);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        for (int c = 0; c < 3; ++c)
                            ASSERT_EQ(r.row(y)[3 * x + c], plainBox(source.bits(), source.stride(),
                                                                    w, h, 3, x, y, c, divisor))
                                << w << " x " << h << " at " << x << "," << y << " divisor "
                                << divisor;
            }
}

TEST(BoxFilter3x3Plane, FiltersOneChannelInItsRowsOnly)
{
    for (int divisor : {9, 8, 3})
        for (auto [w, h] : {std::pair{1, 1}, {1, 9}, {9, 1}, {2, 2}, {37, 23}, {100, 3}}) {
            const size_t stride = static_cast<size_t>(w) + 5;
            std::vector<uint8_t> source(stride * h);
            for (size_t i = 0; i < source.size(); ++i)
                source[i] = static_cast<uint8_t>(i * 97 + (i >> 3) * 31);
            std::vector<uint8_t> plane = source;
            BoxFilter3x3Plane(plane.data(), w, h, stride, divisor);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(plane[y * stride + x],
                              plainBox(source.data(), stride, w, h, 1, x, y, 0, divisor))
                        << w << " x " << h << " at " << x << "," << y;
                for (size_t x = w; x < stride; ++x)
                    ASSERT_EQ(plane[y * stride + x], source[y * stride + x]);  // padding kept
            }
        }
    std::vector<uint8_t> one(1, 7);
    EXPECT_THROW(BoxFilter3x3Plane(one.data(), 1, 1, 1, 0), Error);
    BoxFilter3x3Plane(one.data(), 0, 0, 1, 9);  // nothing to do
    EXPECT_EQ(one[0], 7);
}

}  // namespace
}  // namespace lumavex
