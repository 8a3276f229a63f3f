// The toolkit's figures on a 12-megapixel picture, single thread: Lanczos3 resampling to half
// and double size, rotation by 30 degrees, and the FL mask of the whole picture.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "mask/fl_mask.h"
#include "toolkit/resample.h"
#include "toolkit/rotate.h"
#include "toolkit/simd.h"

namespace lumavex::bench {
namespace {

void resampleBy(benchmark::State& state, double factor, simd::Level level)
{
    const simd::Level previous = simd::limitLevel(level);
    const int w = static_cast<int>(photo().width() * factor);
    const int h = static_cast<int>(photo().height() * factor);
    for (auto _ : state) {
        state.PauseTiming();
        Raster picture = photo();
        state.ResumeTiming();
        Resample(picture, w, h);
        benchmark::DoNotOptimize(picture.bits());
    }
    simd::limitLevel(previous);
}

void BM_ResampleHalf(benchmark::State& state)
{
    resampleBy(state, 0.5, simd::Level::Avx512);
}
BENCHMARK(BM_ResampleHalf)->Unit(benchmark::kMillisecond);

void BM_ResampleDouble(benchmark::State& state)
{
    resampleBy(state, 2.0, simd::Level::Avx512);
}
BENCHMARK(BM_ResampleDouble)->Unit(benchmark::kMillisecond);

void BM_ResampleHalfPlain(benchmark::State& state)
{
    resampleBy(state, 0.5, simd::Level::Plain);
}
BENCHMARK(BM_ResampleHalfPlain)->Unit(benchmark::kMillisecond);

void BM_ResampleHalfAvx2(benchmark::State& state)
{
    resampleBy(state, 0.5, simd::Level::Avx2);
}
BENCHMARK(BM_ResampleHalfAvx2)->Unit(benchmark::kMillisecond);

void BM_ResampleDoubleAvx2(benchmark::State& state)
{
    resampleBy(state, 2.0, simd::Level::Avx2);
}
BENCHMARK(BM_ResampleDoubleAvx2)->Unit(benchmark::kMillisecond);

void rotateBy(benchmark::State& state, int degrees, simd::Level level)
{
    const simd::Level previous = simd::limitLevel(level);
    for (auto _ : state) {
        state.PauseTiming();
        Raster picture = photo();
        state.ResumeTiming();
        Rotate(picture, degrees);
        benchmark::DoNotOptimize(picture.bits());
    }
    simd::limitLevel(previous);
}

void BM_Rotate30(benchmark::State& state)
{
    rotateBy(state, 30, simd::Level::Avx512);
}
BENCHMARK(BM_Rotate30)->Unit(benchmark::kMillisecond);

void BM_Rotate30Plain(benchmark::State& state)
{
    rotateBy(state, 30, simd::Level::Plain);
}
BENCHMARK(BM_Rotate30Plain)->Unit(benchmark::kMillisecond);

void BM_Rotate90(benchmark::State& state)
{
    rotateBy(state, 90, simd::Level::Avx512);
}
BENCHMARK(BM_Rotate90)->Unit(benchmark::kMillisecond);

void BM_FLMaskWhole(benchmark::State& state)
{
    Raster picture = photo();
    for (auto _ : state) {
        ApplyFLMaskToRegion(picture, picture.bounds());
        benchmark::DoNotOptimize(picture.bits());
    }
}
BENCHMARK(BM_FLMaskWhole)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumavex::bench
