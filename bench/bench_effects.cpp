// The decorative effects on a 12-megapixel picture, each as the editor's command runs it, to be
// quoted as ratios to BM_Memcpy of the same run. Pictures that an effect changes or enlarges are
// reset outside the timing before each run.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_support.h"
#include "effects/blurs.h"
#include "effects/drop_shadow.h"
#include "effects/merge.h"
#include "effects/panel.h"
#include "effects/shadow.h"
#include "toolkit/image_ops.h"

#ifdef LUMAVEX_PEERS
#include <vips/vips.h>
#endif

namespace lumavex::bench {
namespace {

// A second picture for the two-picture effects: the photo upside down.
const Raster& flippedPhoto()
{
    static const Raster picture = [] {
        Raster r = photo();
        VFlip(r);
        return r;
    }();
    return picture;
}

// Puts the photo back into a picture, reusing its rows when the size allows.
void reset(Raster& picture)
{
    if (picture.width() == photo().width() && picture.height() == photo().height())
        std::memcpy(picture.bits(), photo().bits(), photo().stride() * photo().height());
    else
        picture = photo();
}

template <class Effect>
void run(benchmark::State& state, Effect effect)
{
    Raster picture = photo();
    Raster scratch;
    for (auto _ : state) {
        state.PauseTiming();
        reset(picture);
        state.ResumeTiming();
        effect(picture, scratch);
        benchmark::ClobberMemory();
    }
}

void BM_AddShadow(benchmark::State& state)
{
    run(state, [](Raster& p, Raster& s) { AddShadowCommand(p, s, kBlack, 10); });
}
void BM_AddShadowSoft(benchmark::State& state)
{
    run(state, [](Raster& p, Raster& s) { AddShadowSoft(p, s, kBlack, kWhite, 10); });
}
void BM_FlameBlur(benchmark::State& state)
{
    run(state, [](Raster& p, Raster&) { FlameBlur(p, kWhite, 30); });
}
void BM_CircleBlur(benchmark::State& state)
{
    run(state, [](Raster& p, Raster&) { CircleBlur(p, kWhite, 30); });
}
void BM_EllipseBlur(benchmark::State& state)
{
    run(state, [](Raster& p, Raster& s) { EllipseBlur(p, s, kWhite, 30); });
}
void BM_Panel(benchmark::State& state)
{
    run(state, [](Raster& p, Raster&) { Panel(p, 0, 0, 10); });
}
void BM_Blur(benchmark::State& state)
{
    run(state, [](Raster& p, Raster&) { Blur(p); });
}
void BM_DropBlurShadow(benchmark::State& state)
{
    run(state, [](Raster& p, Raster& s) { DropBlurShadow(p, p, s, 3, 3, 0x00808080, kWhite); });
}
// Merge at the default rate 50 and at 37, whose exact halves the double sum rounds its own way;
// both run through the table of the rate.
void BM_Merge(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0));
    run(state, [rate](Raster& p, Raster&) { Merge(p, flippedPhoto(), rate); });
}
void BM_MergeScaledLayer(benchmark::State& state)
{
    static const Raster small = [] {
        Raster r(3000, 2250);
        r.stretchDraw(r.bounds(), flippedPhoto());
        return r;
    }();
    run(state, [](Raster& p, Raster&) { Merge(p, small, 50); });
}
void BM_MixPaste(benchmark::State& state)
{
    run(state, [](Raster& p, Raster& s) { MixPasteCommand(p, s, flippedPhoto(), kBlack, 0, 0); });
}

BENCHMARK(BM_AddShadow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddShadowSoft)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlameBlur)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CircleBlur)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EllipseBlur)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Panel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blur)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DropBlurShadow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Merge)->Arg(50)->Arg(37)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeScaledLayer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixPaste)->Unit(benchmark::kMillisecond);

#ifdef LUMAVEX_PEERS
// libvips' 3 x 3 convolution of the same picture (mask of nine ones, scale 9), one thread, the
// operation cache off; the result is written into a buffer allocated once, as Blur writes into
// the picture it was given.
void BM_VipsConv3x3(benchmark::State& state)
{
    static const bool ready = [] {
        if (VIPS_INIT("bench_effects"))
            return false;
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        return true;
    }();
    if (!ready) {
        state.SkipWithError("libvips did not start");
        return;
    }
    const Raster& p = photo();
    const size_t bytes = p.stride() * p.height();
    std::vector<uint8_t> target(bytes);
    VipsImage* mask = vips_image_new_matrixv(3, 3, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0);
    vips_image_set_double(mask, "scale", 9.0);
    for (auto _ : state) {
        VipsImage* in = vips_image_new_from_memory(p.bits(), bytes, p.width(), p.height(), 3,
                                                   VIPS_FORMAT_UCHAR);
        VipsImage* out = vips_image_new_from_memory(target.data(), bytes, p.width(), p.height(), 3,
                                                    VIPS_FORMAT_UCHAR);
        VipsImage* conv = nullptr;
        if (vips_conv(in, &conv, mask, "precision", VIPS_PRECISION_INTEGER, nullptr) ||
            vips_image_write(conv, out)) {
            state.SkipWithError(vips_error_buffer());
            break;
        }
        g_object_unref(conv);
        g_object_unref(out);
        g_object_unref(in);
        benchmark::ClobberMemory();
    }
    g_object_unref(mask);
}
BENCHMARK(BM_VipsConv3x3)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace
}  // namespace lumavex::bench
