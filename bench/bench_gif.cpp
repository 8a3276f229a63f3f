// The GIF writer's figures on the 12-megapixel photo: the whole save, its quantiser, mapping and
// LZW stages, giflib doing the same work in the same run, and colour reduction to 64000
// colours of a 1-megapixel picture with the vectorised contest against the plain scalar one.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <vector>

#include "bench_support.h"
#include "formats/gif_lzw.h"
#include "formats/gif_writer.h"
#include "quantize/neuquant.h"
#include "toolkit/color_reduction.h"

namespace lumavex::bench {
namespace {

constexpr int kSampleFactor = 30;  // that of a 12-megapixel picture

const NeurQuant& photoQuantiser()
{
    static const NeurQuant q = [] {
        NeurQuant n(256);
        n.learn(photo(), kSampleFactor);
        return n;
    }();
    return q;
}

const std::vector<uint8_t>& photoIndices()
{
    static const std::vector<uint8_t> indices = [] {
        std::vector<uint8_t> v(size_t{kWidth} * kHeight);
        photoQuantiser().mapIndices(photo(), v.data());
        return v;
    }();
    return indices;
}

// A 1000 x 1000 piece of the photo around its bright blob.
const Raster& megapixel()
{
    static const Raster piece = [] {
        Raster r(1000, 1000);
        for (int y = 0; y < 1000; ++y)
            std::memcpy(r.row(y), photo().row(y + 700) + 3 * 1900, 3000);
        return r;
    }();
    return piece;
}

void BM_GifSave(benchmark::State& state)
{
    TIOParams params;
    params.Compressor = GIFLZWEncode;
    const Raster& picture = photo();
    for (auto _ : state) {
        MemoryOutput out;
        out.bytes().reserve(size_t{kWidth} * kHeight);
        WriteGIFStream(out, picture, params);
        benchmark::DoNotOptimize(out.bytes().data());
    }
}
BENCHMARK(BM_GifSave)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GifQuantise(benchmark::State& state)
{
    const Raster& picture = photo();
    for (auto _ : state) {
        NeurQuant q(256);
        q.learn(picture, kSampleFactor);
        benchmark::DoNotOptimize(q.palette().data());
    }
}
BENCHMARK(BM_GifQuantise)->Unit(benchmark::kMillisecond);

void BM_GifMap(benchmark::State& state)
{
    std::vector<uint8_t> indices(size_t{kWidth} * kHeight);
    const NeurQuant& q = photoQuantiser();
    for (auto _ : state) {
        q.mapIndices(photo(), indices.data());
        benchmark::DoNotOptimize(indices.data());
    }
}
BENCHMARK(BM_GifMap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LZW(benchmark::State& state)
{
    const std::vector<uint8_t>& indices = photoIndices();
    size_t size = 0;
    for (auto _ : state) {
        MemoryOutput out;
        out.bytes().reserve(indices.size());
        GIFLZWEncode(out, kHeight, kWidth, false, indices.data(), 8);
        size = out.bytes().size();
        benchmark::DoNotOptimize(out.bytes().data());
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_LZW)->Unit(benchmark::kMillisecond);

// giflib writing the same indices with its own LZW coder, into memory.
int toMemory(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

void giflibWrite(std::vector<uint8_t>& out, const uint8_t* indices, const GifColorType* colours)
{
    int error = 0;
    GifFileType* gif = EGifOpen(&out, toMemory, &error);
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
    for (int y = 0; y < kHeight; ++y)
        EGifPutLine(gif, const_cast<GifPixelType*>(indices) + size_t{kWidth} * y, kWidth);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
}

void BM_GiflibLZW(benchmark::State& state)
{
    const std::vector<uint8_t>& indices = photoIndices();
    std::vector<GifColorType> colours(256);
    size_t size = 0;
    for (auto _ : state) {
        std::vector<uint8_t> out;
        out.reserve(indices.size());
        giflibWrite(out, indices.data(), colours.data());
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_GiflibLZW)->Unit(benchmark::kMillisecond);

// giflib's median-cut quantiser and its coder: what gif2rgb -s does after reading its input.
void BM_GiflibQuantiseAndSave(benchmark::State& state)
{
    const size_t count = size_t{kWidth} * kHeight;
    std::vector<GifByteType> red(count), green(count), blue(count);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = photo().row(y) + 3 * x;
            const size_t i = size_t{kWidth} * y + x;
            blue[i] = p[0];
            green[i] = p[1];
            red[i] = p[2];
        }
    std::vector<GifByteType> indices(count);
    std::vector<GifColorType> colours(256);
    for (auto _ : state) {
        int size = 256;
        GifQuantizeBuffer(kWidth, kHeight, &size, red.data(), green.data(), blue.data(),
                          indices.data(), colours.data());
        std::vector<uint8_t> out;
        out.reserve(count);
        giflibWrite(out, indices.data(), colours.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_GiflibQuantiseAndSave)->Unit(benchmark::kMillisecond);

void BM_Learn64000(benchmark::State& state)
{
    const auto kernel = static_cast<QuantKernel>(state.range(0));
    const Raster& picture = megapixel();
    for (auto _ : state) {
        NeurQuant q(64000, kernel);
        q.learn(picture, NeurQuantSampleFactor(int64_t{1000} * 1000));
        benchmark::DoNotOptimize(q.palette().data());
    }
    state.SetLabel(kernel == QuantKernel::Fast   ? "widest vectors"
                   : kernel == QuantKernel::Avx2 ? "AVX2"
                                                 : "plain scalar");
}
BENCHMARK(BM_Learn64000)
    ->Arg(int(QuantKernel::Fast))
    ->Arg(int(QuantKernel::Avx2))
    ->Arg(int(QuantKernel::Reference))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_Reduce64000(benchmark::State& state)
{
    const auto kernel = static_cast<QuantKernel>(state.range(0));
    for (auto _ : state) {
        Raster picture = megapixel();
        ReduceColors(picture, 64000, kernel);
        benchmark::DoNotOptimize(picture.bits());
    }
    state.SetLabel(kernel == QuantKernel::Fast ? "fast" : "plain scalar");
}
BENCHMARK(BM_Reduce64000)
    ->Arg(int(QuantKernel::Fast))
    ->Arg(int(QuantKernel::Reference))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace
}  // namespace lumavex::bench
