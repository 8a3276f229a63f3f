// The foundation's figures: codecs and the plain toolkit operations on a 12-megapixel picture.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "formats/bmp.h"
#include "toolkit/image_ops.h"

namespace lumavex::bench {
namespace {

template <void (*Op)(Raster&)>
void inPlace(benchmark::State& state)
{
    Raster picture = photo();
    for (auto _ : state) {
        Op(picture);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(inPlace<HFlip>)->Name("HFlip")->Unit(benchmark::kMillisecond);
BENCHMARK(inPlace<VFlip>)->Name("VFlip")->Unit(benchmark::kMillisecond);
BENCHMARK(inPlace<Negative>)->Name("Negative")->Unit(benchmark::kMillisecond);
BENCHMARK(inPlace<Gray>)->Name("Gray")->Unit(benchmark::kMillisecond);

void BM_WriteBMP(benchmark::State& state)
{
    for (auto _ : state) {
        MemoryOutput out;
        out.bytes().reserve(photo().stride() * photo().height() + 54);
        WriteBMP(out, photo());
        benchmark::DoNotOptimize(out.bytes().data());
    }
}
BENCHMARK(BM_WriteBMP)->Unit(benchmark::kMillisecond);

void BM_ReadBMP(benchmark::State& state)
{
    MemoryOutput out;
    WriteBMP(out, photo());
    for (auto _ : state) {
        Raster r = ReadBMP(out.bytes());
        benchmark::DoNotOptimize(r.bits());
    }
}
BENCHMARK(BM_ReadBMP)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumavex::bench
