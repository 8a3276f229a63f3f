#include "blurs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "core/color.h"
#include "core/parallel.h"
#include "effect_support.h"
#include "fast_hsv.h"
#include "effects/filters.h"

namespace lumavex {

// FlameBlur and CircleBlur are inverted working passes: the picture is inverted, pixels are
// mixed towards the inverted colour, and the picture is inverted back. Pixels that no mix
// touches come back exactly as they were, so only the mixed pixels are visited here, each
// inverted, mixed and inverted back on its own; the surface is left as the pass leaves it.

namespace {

// The colour channels in the negative, in byte order blue, green, red.
struct InvertedColour {
    explicit InvertedColour(Color colour)
    {
        const Rgb c = SplitColor(InvertColor(colour));
        channel[0] = c.blue;
        channel[1] = c.green;
        channel[2] = c.red;
    }
    int32_t channel[3];
};

// One mix of a byte of the negative towards the inverted colour, kept to its low 8 bits.
inline uint8_t mix(uint8_t negative, int32_t colour, int32_t m)
{
    return static_cast<uint8_t>(MixChannel(negative, colour, m));
}

// The state the inverted working pass leaves on the picture's surface.
void leaveAsTheInvertedPass(Raster& picture)
{
    picture.setBrushColor(kWhite);
    picture.setCopyMode(CopyMode::NotSrcCopy);
}

// Runs work(y) for rows 0 .. height - 1 in bands on the pool, and counts each row done: the
// marks come from the caller's thread, which catches up with the rows every thread has done
// after each row of its own and at the end; the other threads count their bands when done.
// bytes(first, last) tells how many bytes rows first .. last - 1 touch. The work crowds into
// the rows near the edges, so the bands hold equal bytes rather than equal rows, four times as
// many as a plain pass has, for the threads to share them out as they go.
void rowsInBands(RowProgress& progress, int height,
                 const std::function<size_t(int first, int last)>& bytes,
                 const std::function<void(int64_t y)>& work)
{
    const size_t total = bytes(0, height);
    const int plain = bandsFor(1, total);
    const int bands = std::min(height, plain > 1 ? 4 * plain : 1);
    std::vector<int> starts(static_cast<size_t>(bands) + 1, height);
    starts[0] = 0;
    for (int k = 1; k < bands; ++k) {
        // The first row at which the bytes before it reach k / bands of the whole.
        const size_t goal = total / bands * k;
        int lo = starts[k - 1], hi = height;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (bytes(0, mid) >= goal)
                hi = mid;
            else
                lo = mid + 1;
        }
        starts[k] = lo;
    }

    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> done{0};
    int counted = 0;
    auto catchUp = [&] {
        for (const int now = done.load(std::memory_order_relaxed); counted < now; ++counted)
            progress.row();
    };
    forEachBand(bands, bands, [&](int firstBand, int lastBand) {
        const int first = starts[firstBand], last = starts[lastBand];
        if (std::this_thread::get_id() != caller) {
            // Other threads count a band at once: a counter shared row by row would bounce
            // between the cores.
            for (int y = first; y < last; ++y)
                work(y);
            done.fetch_add(last - first, std::memory_order_relaxed);
            return;
        }
        for (int y = first; y < last; ++y) {
            work(y);
            done.fetch_add(1, std::memory_order_relaxed);
            catchUp();
        }
    });
    catchUp();
}

}  // namespace

int32_t StepWeight(int width)
{
    detail::requirePositiveWidth(width, "ぼかしの幅");
    return RoundHalfAway(100.0 / width * 10.0);
}

void FlameBlur(Raster& picture, Color colour, int width, ProgressSink* progress)
{
    const int32_t w1 = StepWeight(width);
    const InvertedColour c(colour);
    const int64_t n = width;
    const int64_t w = picture.width();
    const int64_t h = picture.height();
    RowProgress rows(progress, picture.height());
    // The bottom band starts at row max(H - n + 1, 0) with M = w1 x n and the right band at
    // column max(W - n + 1, 0) with M = w1 x (n - 1), both lessening by w1 a step.
    const int64_t bottomStart = std::max<int64_t>(h - n + 1, 0);
    const int64_t rightStart = std::max<int64_t>(w - n + 1, 0);
    const int64_t leftEnd = std::min(n, w);
    constexpr int64_t kAhead = 8;

    // Mixes the left and right bands of one pixel whose negative channels are v.
    auto edges = [&](uint8_t* v, int64_t x) {
        if (x < n) {
            const int32_t m = static_cast<int32_t>(w1 * (x + 1));
            for (int ch = 0; ch < 3; ++ch)
                v[ch] = mix(v[ch], c.channel[ch], m);
        }
        if (x >= rightStart) {
            const int32_t m = static_cast<int32_t>(w1 * (n - (x - rightStart + 1)));
            for (int ch = 0; ch < 3; ++ch)
                v[ch] = mix(v[ch], c.channel[ch], m);
        }
    };

    if (!picture.empty()) {
        // The top and bottom bands' rows are worked whole, the others only at the edges.
        auto bytes = [&](int first, int last) {
            const int64_t edgeRows = std::max<int64_t>(
                std::min<int64_t>(last, bottomStart) - std::max<int64_t>(first, n), 0);
            const int64_t wholeRows = last - first - edgeRows;
            return static_cast<size_t>(3 * (wholeRows * w + edgeRows * std::min(2 * n, w)));
        };
        rowsInBands(rows, picture.height(), bytes, [&](int64_t y) {
            uint8_t* row = picture.row(static_cast<int>(y));
            const bool top = y < n;
            const bool bottom = y >= bottomStart;
            if (top || bottom) {
                // The top and bottom mixes are the same all along the row: one table per
                // channel from the picture's byte to the negative after both.
                uint8_t table[3][256];
                const int32_t mt = static_cast<int32_t>(w1 * y);
                const int32_t mb = static_cast<int32_t>(w1 * (n - (y - bottomStart)));
                for (int ch = 0; ch < 3; ++ch)
                    for (int p = 0; p < 256; ++p) {
                        uint8_t v = static_cast<uint8_t>(255 - p);
                        if (top)
                            v = mix(v, c.channel[ch], mt);
                        if (bottom)
                            v = mix(v, c.channel[ch], mb);
                        table[ch][p] = v;
                    }
                for (int64_t x = 0; x < w; ++x) {
                    uint8_t* p = row + 3 * x;
                    uint8_t v[3] = {table[0][p[0]], table[1][p[1]], table[2][p[2]]};
                    if (x < n || x >= rightStart)
                        edges(v, x);
                    p[0] = static_cast<uint8_t>(~v[0]);
                    p[1] = static_cast<uint8_t>(~v[1]);
                    p[2] = static_cast<uint8_t>(~v[2]);
                }
                return;
            }
            auto work = [&](int64_t x) {
                uint8_t* p = row + 3 * x;
                uint8_t v[3] = {static_cast<uint8_t>(~p[0]), static_cast<uint8_t>(~p[1]),
                                static_cast<uint8_t>(~p[2])};
                edges(v, x);
                p[0] = static_cast<uint8_t>(~v[0]);
                p[1] = static_cast<uint8_t>(~v[1]);
                p[2] = static_cast<uint8_t>(~v[2]);
            };
            // A middle row touches its two ends only, a row apart: ask for the ends of a row
            // further down now, so that they are at hand when its turn comes.
            if (y + kAhead < h) {
                const uint8_t* ahead = picture.row(static_cast<int>(y + kAhead));
                for (int64_t i = 0; i < 3 * leftEnd; i += 64)
                    __builtin_prefetch(ahead + i, 1);
                for (int64_t i = 3 * std::max(rightStart, leftEnd); i < 3 * w; i += 64)
                    __builtin_prefetch(ahead + i, 1);
            }
            for (int64_t x = 0; x < leftEnd; ++x)
                work(x);
            for (int64_t x = std::max(rightStart, leftEnd); x < w; ++x)
                work(x);
        });
        leaveAsTheInvertedPass(picture);
    }
    rows.finish();
}

namespace {

// The CircleBlur weight of the pixel at offset (dx, dy) from the centre, or -1 when the pixel
// lies inside the inner circle and is left alone.
class CircleWeight {
public:
    CircleWeight(int64_t radius, int64_t n, int32_t w1)
        : m_inner((radius - n) * 10000), m_cap(n * 10000), m_n(n), m_w1(w1)
    {
    }
    // The overshoot beyond the inner circle in ten-thousandths of a pixel, capped at n.
    int64_t overshoot(int64_t dx, int64_t dy) const
    {
        const int64_t squares = dx * dx + dy * dy;
        const int64_t d = detail::roundEven(std::sqrt(static_cast<double>(squares)) * 10000.0);
        return std::min(d - m_inner, m_cap);
    }
    // RoundHalfAway(e / 10000) for e > 0, in integers.
    int64_t step(int64_t e) const { return detail::divRoundAway10000(e); }
    int32_t weight(int64_t dx, int64_t dy) const
    {
        const int64_t e = overshoot(dx, dy);
        if (e <= 0)
            return -1;
        return static_cast<int32_t>(m_w1 * (m_n - step(e)));
    }
    bool untouched(int64_t dx, int64_t dy) const { return overshoot(dx, dy) <= 0; }
    bool full(int64_t dx, int64_t dy) const
    {
        const int64_t e = overshoot(dx, dy);
        return e > 0 && step(e) == m_n;
    }

private:
    int64_t m_inner, m_cap, m_n;
    int32_t m_w1;
};

}  // namespace

// The weight depends on the distance from the centre only, and the distance grows with |dx|
// along a row, so every row splits into an untouched middle, a ring on either side where the
// weight is worked out pixel by pixel, and outer ends that become the pure colour (k = n mixes
// with M = 0). The two borders are found by bisection with the same per-pixel arithmetic.
void CircleBlur(Raster& picture, Color colour, int width, ProgressSink* progress)
{
    const int32_t w1 = StepWeight(width);
    const InvertedColour c(colour);
    RowProgress rows(progress, picture.height());
    if (!picture.empty()) {
        const int64_t w = picture.width();
        const int64_t h = picture.height();
        const int64_t cx = w / 2;
        const int64_t cy = h / 2;
        const CircleWeight weight(std::min(w, h) / 2, width, w1);
        const int64_t reach = std::max(cx, w - 1 - cx);  // the largest |dx| in a row
        // A weight of 0 mixes to the inverted colour itself, which inverts back to this.
        const Color pure =
            makeColor(static_cast<uint8_t>(~c.channel[2]), static_cast<uint8_t>(~c.channel[1]),
                      static_cast<uint8_t>(~c.channel[0]));

        auto bytes = [&](int first, int last) {
            return static_cast<size_t>(3 * w * (last - first));
        };
        rowsInBands(rows, picture.height(), bytes, [&](int64_t y) {
            uint8_t* row = picture.row(static_cast<int>(y));
            const int64_t dy = cy - y;
            // keep: the largest |dx| left alone (-1 for none); fill: the smallest |dx| that
            // becomes the pure colour (reach + 1 for none).
            int64_t lo = -1, hi = reach;
            while (lo < hi) {
                const int64_t mid = lo + (hi - lo + 1) / 2;
                if (weight.untouched(mid, dy))
                    lo = mid;
                else
                    hi = mid - 1;
            }
            const int64_t keep = lo;
            lo = keep + 1;
            hi = reach + 1;
            while (lo < hi) {
                const int64_t mid = lo + (hi - lo) / 2;
                if (weight.full(mid, dy))
                    hi = mid;
                else
                    lo = mid + 1;
            }
            const int64_t fill = lo;

            // Columns up to cx - fill and from cx + fill on become the pure colour, columns
            // within keep of cx are left alone, and the ring between is worked pixel by pixel.
            auto ring = [&](int64_t from, int64_t to) {
                for (int64_t x = from; x < to; ++x) {
                    uint8_t* p = row + 3 * x;
                    const int32_t m = weight.weight(cx - x, dy);
                    for (int ch = 0; ch < 3; ++ch)
                        p[ch] = static_cast<uint8_t>(
                            ~mix(static_cast<uint8_t>(~p[ch]), c.channel[ch], m));
                }
            };
            const int64_t leftPure = std::clamp<int64_t>(cx - fill + 1, 0, w);
            const int64_t leftKeep = std::clamp<int64_t>(cx - keep, leftPure, w);
            const int64_t rightKeep = std::clamp<int64_t>(cx + keep + 1, leftKeep, w);
            const int64_t rightPure = std::clamp<int64_t>(cx + fill, rightKeep, w);
            fillPixels(row, static_cast<size_t>(leftPure), pure);
            ring(leftPure, leftKeep);
            ring(rightKeep, rightPure);
            fillPixels(row + 3 * rightPure, static_cast<size_t>(w - rightPure), pure);
        });
        leaveAsTheInvertedPass(picture);
    }
    rows.finish();
}

void EllipseBlur(Raster& target, Raster& scratch, Color colour, int width, ProgressSink* progress)
{
    detail::requirePositiveWidth(width, "ぼかしの幅");
    const int side = std::max(target.width(), target.height());
    checkRasterSize(side, side);
    detail::resizeForOverwrite(scratch, side, side);
    scratch.setCopyMode(CopyMode::SrcCopy);
    scratch.stretchDraw(scratch.bounds(), target);
    CircleBlur(scratch, colour, width, progress);
    target.setCopyMode(CopyMode::SrcCopy);
    target.stretchDraw(target.bounds(), scratch);
}

void Blur(Raster& picture)
{
    BoxFilter3x3(picture, 9);
}

std::unique_ptr<RowStage> BlurStage()
{
    return BoxFilter3x3Stage(9);
}

}  // namespace lumavex
