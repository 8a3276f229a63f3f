// The toolkit's figures on a 12-megapixel picture: Lanczos3 resampling to half and double size
// and rotation by 30 and 90 degrees, each with one thread and with two (the /threads: argument,
// set through LUMAVEX_THREADS, timed by the clock on the wall); the kernel variants with one
// thread; the FL mask of the whole picture.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#ifdef LUMAVEX_PEERS
#include <vips/vips.h>
#include <wand/MagickWand.h>
#endif

#include "bench_support.h"
#include "mask/fl_mask.h"
#include "toolkit/resample.h"
#include "toolkit/rotate.h"
#include "core/simd.h"

namespace lumavex::bench {
namespace {

// Times an in-place operation on a fresh copy of the photo, with the kernels limited to a level
// and passes on that many threads.
template <typename Operation>
void timeAtLevel(benchmark::State& state, simd::Level level, int threads, Operation operation)
{
    setenv("LUMAVEX_THREADS", std::to_string(threads).c_str(), 1);
    const simd::Level previous = simd::limitLevel(level);
    for (auto _ : state) {
        state.PauseTiming();
        Raster picture = photo();
        state.ResumeTiming();
        operation(picture);
        benchmark::DoNotOptimize(picture.bits());
    }
    simd::limitLevel(previous);
    unsetenv("LUMAVEX_THREADS");
}

// One thread, then two.
void oneAndTwoThreads(benchmark::internal::Benchmark* b)
{
    b->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void resampleBy(benchmark::State& state, double factor, simd::Level level, int threads)
{
    const int w = static_cast<int>(photo().width() * factor);
    const int h = static_cast<int>(photo().height() * factor);
    timeAtLevel(state, level, threads, [&](Raster& picture) { Resample(picture, w, h); });
}

void BM_ResampleHalf(benchmark::State& state)
{
    resampleBy(state, 0.5, simd::Level::Avx512, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_ResampleHalf)->Apply(oneAndTwoThreads);

void BM_ResampleDouble(benchmark::State& state)
{
    resampleBy(state, 2.0, simd::Level::Avx512, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_ResampleDouble)->Apply(oneAndTwoThreads);

void BM_ResampleHalfPlain(benchmark::State& state)
{
    resampleBy(state, 0.5, simd::Level::Plain, 1);
}
BENCHMARK(BM_ResampleHalfPlain)->Unit(benchmark::kMillisecond);

void BM_ResampleHalfAvx2(benchmark::State& state)
{
    resampleBy(state, 0.5, simd::Level::Avx2, 1);
}
BENCHMARK(BM_ResampleHalfAvx2)->Unit(benchmark::kMillisecond);

void BM_ResampleDoubleAvx2(benchmark::State& state)
{
    resampleBy(state, 2.0, simd::Level::Avx2, 1);
}
BENCHMARK(BM_ResampleDoubleAvx2)->Unit(benchmark::kMillisecond);

void rotateBy(benchmark::State& state, int degrees, simd::Level level, int threads)
{
    timeAtLevel(state, level, threads, [&](Raster& picture) { Rotate(picture, degrees); });
}

void BM_Rotate30(benchmark::State& state)
{
    rotateBy(state, 30, simd::Level::Avx512, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_Rotate30)->Apply(oneAndTwoThreads);

void BM_Rotate30Plain(benchmark::State& state)
{
    rotateBy(state, 30, simd::Level::Plain, 1);
}
BENCHMARK(BM_Rotate30Plain)->Unit(benchmark::kMillisecond);

void BM_Rotate90(benchmark::State& state)
{
    rotateBy(state, 90, simd::Level::Avx512, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_Rotate90)->Apply(oneAndTwoThreads);

void BM_FLMaskWhole(benchmark::State& state)
{
    Raster picture = photo();
    for (auto _ : state) {
        ApplyFLMaskToRegion(picture, picture.bounds());
        benchmark::DoNotOptimize(picture.bits());
    }
}
BENCHMARK(BM_FLMaskWhole)->Unit(benchmark::kMillisecond);

#ifdef LUMAVEX_PEERS

// The peers, on the same picture as packed RGB bytes, single-threaded, each operation alone
// (the input is made once, outside the timing; the output is written to memory). libvips does
// its work on a thread of its own even at concurrency 1, so its figures are wall-clock time.
std::vector<uint8_t> photoRGB()
{
    const Raster& p = photo();
    std::vector<uint8_t> rgb(static_cast<size_t>(p.width()) * p.height() * 3);
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(static_cast<size_t>(y) * p.width() + x) * 3 + c] = p.row(y)[x * 3 + 2 - c];
    return rgb;
}

struct VipsPeer {
    VipsPeer() : rgb(photoRGB())
    {
        static const bool started = [] {
            vips_init("bench_toolkit");
            vips_concurrency_set(1);
            vips_cache_set_max(0);
            return true;
        }();
        (void)started;
    }
    VipsImage* image() const
    {
        return vips_image_new_from_memory(rgb.data(), rgb.size(), kWidth, kHeight, 3,
                                          VIPS_FORMAT_UCHAR);
    }
    std::vector<uint8_t> rgb;
};

// Runs one vips operation on the picture and writes its result to memory.
template <typename Op>
void vipsRun(benchmark::State& state, Op op)
{
    static const VipsPeer peer;
    for (auto _ : state) {
        VipsImage* in = peer.image();
        VipsImage* out = nullptr;
        if (op(in, &out) != 0)
            state.SkipWithError(vips_error_buffer());
        size_t size = 0;
        void* bytes = out ? vips_image_write_to_memory(out, &size) : nullptr;
        benchmark::DoNotOptimize(bytes);
        g_free(bytes);
        if (out)
            g_object_unref(out);
        g_object_unref(in);
    }
}

void BM_Peer_VipsResizeHalf(benchmark::State& state)
{
    vipsRun(state, [](VipsImage* in, VipsImage** out) {
        return vips_resize(in, out, 0.5, "kernel", VIPS_KERNEL_LANCZOS3, nullptr);
    });
}
BENCHMARK(BM_Peer_VipsResizeHalf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Peer_VipsResizeDouble(benchmark::State& state)
{
    vipsRun(state, [](VipsImage* in, VipsImage** out) {
        return vips_resize(in, out, 2.0, "kernel", VIPS_KERNEL_LANCZOS3, nullptr);
    });
}
BENCHMARK(BM_Peer_VipsResizeDouble)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Peer_VipsRotate30Bilinear(benchmark::State& state)
{
    vipsRun(state, [](VipsImage* in, VipsImage** out) {
        return vips_rotate(in, out, 30.0, "interpolate", vips_interpolate_bilinear_static(),
                           nullptr);
    });
}
BENCHMARK(BM_Peer_VipsRotate30Bilinear)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs one ImageMagick operation on a fresh copy of the picture (the copy is not timed).
template <typename Op>
void magickRun(benchmark::State& state, Op op)
{
    static const std::vector<uint8_t> rgb = photoRGB();
    MagickWandGenesis();
    SetMagickResourceLimit(ThreadResource, 1);
    MagickWand* source = NewMagickWand();
    MagickConstituteImage(source, kWidth, kHeight, "RGB", CharPixel, rgb.data());
    for (auto _ : state) {
        state.PauseTiming();
        MagickWand* wand = CloneMagickWand(source);
        state.ResumeTiming();
        if (op(wand) == MagickFalse)
            state.SkipWithError("ImageMagick failed");
        state.PauseTiming();
        DestroyMagickWand(wand);
        state.ResumeTiming();
    }
    DestroyMagickWand(source);
}

void BM_Peer_MagickResizeHalf(benchmark::State& state)
{
    magickRun(state, [](MagickWand* w) {
        return MagickResizeImage(w, kWidth / 2, kHeight / 2, LanczosFilter, 1.0);
    });
}
BENCHMARK(BM_Peer_MagickResizeHalf)->Unit(benchmark::kMillisecond);

void BM_Peer_MagickRotate30(benchmark::State& state)
{
    magickRun(state, [](MagickWand* w) {
        PixelWand* black = NewPixelWand();
        PixelSetColor(black, "black");
        const MagickBooleanType ok = MagickRotateImage(w, black, 30.0);
        DestroyPixelWand(black);
        return ok;
    });
}
BENCHMARK(BM_Peer_MagickRotate30)->Unit(benchmark::kMillisecond);

#endif

}  // namespace
}  // namespace lumavex::bench
