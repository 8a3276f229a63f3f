// Every effect that splits its rows into bands gives the same bytes with 1, 2 and 7 threads.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "effects/blurs.h"
#include "effects/drop_shadow.h"
#include "effects/merge.h"
#include "support/test_pictures.h"
#include "support/thread_counts.h"

namespace lumavex {
namespace {

// Noise with white runs, so that shadow masks have both colours and MixPaste layers
// transparent pixels.
Raster patchyNoise(int w, int h, uint32_t seed)
{
    Raster r = test::makeNoise(w, h, seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x / 5 + y / 3 + seed) % 3 == 0)
                std::fill_n(r.row(y) + 3 * x, 3, uint8_t{0xFF});
    return r;
}

TEST(Threads, EveryBandedPassGivesTheSameBytes)
{
    struct Pass {
        std::string name;
        std::function<void(Raster&)> run;
        bool square = true;  // works on a square of the longer side
    };
    const Raster small = patchyNoise(7, 5, 4);
    const Pass passes[] = {
        {"Blur", [](Raster& p) { Blur(p); }, false},
        {"DropBlurShadow",
         [](Raster& p) {
             Raster s;
             DropBlurShadow(p, p, s, 3, -2, 0x00808080, kWhite);
         },
         false},
        {"DropBlurShadow in colour",
         [](Raster& p) {
             Raster s;
             const Raster main = p;
             DropBlurShadow(p, main, s, -4, 5, 0x00102030, 0x00FFFFF0);
         },
         false},
        {"FlameBlur", [](Raster& p) { FlameBlur(p, 0x00336699, 30); }, false},
        {"CircleBlur", [](Raster& p) { CircleBlur(p, 0x00336699, 30); }, false},
        {"EllipseBlur",
         [](Raster& p) {
             Raster s;
             EllipseBlur(p, s, 0x00336699, 7);
         },
         true},
        {"Merge", [](Raster& p) { Merge(p, patchyNoise(p.width(), p.height(), 2), 37); }, false},
        {"Merge scaled", [&](Raster& p) { Merge(p, small, 63); }, false},
        {"Merge with white", [](Raster& p) { Merge(p, Raster(), 99); }, false},
        {"MixPaste",
         [](Raster& p) {
             Raster s;
             MixPasteCommand(p, s, patchyNoise(p.width(), p.height(), 3), kBlack, 2, -1);
         },
         false},
    };
    // One pixel, one row, smaller than the blurs' width, one row a band at 7 threads, and
    // tall and odd (bands of planes of one byte a pixel too).
    const std::pair<int, int> sizes[] = {{1, 1}, {9, 1}, {7, 5}, {22001, 7}, {401, 1201}};
    for (const Pass& pass : passes)
        for (auto [w, h] : sizes) {
            if (pass.square && std::max(w, h) > 2000)
                continue;
            SCOPED_TRACE(pass.name + " " + std::to_string(w) + " x " + std::to_string(h));
            test::sameWithOneTwoAndSevenThreads(patchyNoise(w, h, 1), pass.run);
        }
}

}  // namespace
}  // namespace lumavex
