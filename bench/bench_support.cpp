#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace lumavex::bench {

const Raster& photo()
{
    static const Raster picture = [] {
        Raster r(kWidth, kHeight);
        std::mt19937 random(12345);
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* p = r.row(y);
            for (int x = 0; x < kWidth; ++x, p += 3) {
                const double u = x / double(kWidth);
                const double v = y / double(kHeight);
                const double blob = std::exp(-((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4)) * 12);
                const int noise = static_cast<int>(random() % 9) - 4;
                auto clamp = [](double c) {
                    return static_cast<uint8_t>(c < 0 ? 0 : c > 255 ? 255 : c);
                };
                p[0] = clamp(200 * v + 40 * std::sin(u * 31) + noise);
                p[1] = clamp(120 + 100 * blob + 30 * std::sin((u + v) * 17) + noise);
                p[2] = clamp(60 + 180 * u * blob + 50 * std::cos(v * 23) + noise);
            }
        }
        return r;
    }();
    return picture;
}

namespace {

// The floor every figure is quoted against: one memcpy of the picture's rows.
void BM_Memcpy(benchmark::State& state)
{
    const Raster& source = photo();
    std::vector<uint8_t> target(source.stride() * source.height());
    for (auto _ : state) {
        std::memcpy(target.data(), source.bits(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(target.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumavex::bench

// Programs that need an application object before the benchmarks start bring their own main().
#ifndef LUMAVEX_BENCH_OWN_MAIN
BENCHMARK_MAIN();
#endif
