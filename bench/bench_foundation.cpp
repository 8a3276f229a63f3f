// The foundation's figures: codecs and the plain toolkit operations on a 12-megapixel picture.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "formats/bmp.h"
#include "formats/jpeg.h"
#include "formats/png_codec.h"
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
    // The buffer is reused, so that the figure is the writer's and not the page faults'.
    MemoryOutput out;
    out.bytes().reserve(photo().stride() * photo().height() + 54);
    for (auto _ : state) {
        out.bytes().clear();
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

const std::vector<uint8_t>& photoJpeg()
{
    static const std::vector<uint8_t> bytes = [] {
        MemoryOutput out;
        WriteJPEG(out, photo());
        return out.bytes();
    }();
    return bytes;
}

void BM_WriteJPEG(benchmark::State& state)
{
    MemoryOutput out;
    out.bytes().reserve(photoJpeg().size() * 2);
    for (auto _ : state) {
        out.bytes().clear();
        WriteJPEG(out, photo());
        benchmark::DoNotOptimize(out.bytes().data());
    }
}
BENCHMARK(BM_WriteJPEG)->Unit(benchmark::kMillisecond);

// libjpeg-turbo on its own with the same settings, into a buffer it keeps: what the writer
// and reader are measured against.
void BM_LibjpegTurboCompress(benchmark::State& state)
{
    const Raster& picture = photo();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    for (auto _ : state) {
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        jpeg_mem_dest(&c, &buffer, &size);
        c.image_width = picture.width();
        c.image_height = picture.height();
        c.input_components = 3;
        c.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&c);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(picture.row(static_cast<int>(c.next_scanline)));
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        benchmark::DoNotOptimize(buffer);
    }
    std::free(buffer);
}
BENCHMARK(BM_LibjpegTurboCompress)->Unit(benchmark::kMillisecond);

void BM_ReadJPEG(benchmark::State& state)
{
    for (auto _ : state) {
        Raster r = ReadJPEG(photoJpeg());
        benchmark::DoNotOptimize(r.bits());
    }
}
BENCHMARK(BM_ReadJPEG)->Unit(benchmark::kMillisecond);

void BM_LibjpegTurboDecompress(benchmark::State& state)
{
    const std::vector<uint8_t>& file = photoJpeg();
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 3);
    for (auto _ : state) {
        jpeg_decompress_struct d;
        jpeg_error_mgr err;
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, file.data(), file.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = &pixels[size_t(d.output_scanline) * kWidth * 3];
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_LibjpegTurboDecompress)->Unit(benchmark::kMillisecond);

void BM_WritePNG(benchmark::State& state)
{
    MemoryOutput out;
    for (auto _ : state) {
        out.bytes().clear();
        WritePNG(out, photo());
        benchmark::DoNotOptimize(out.bytes().data());
    }
}
BENCHMARK(BM_WritePNG)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReadPNG(benchmark::State& state)
{
    MemoryOutput out;
    WritePNG(out, photo());
    for (auto _ : state) {
        Raster r = ReadPNG(out.bytes());
        benchmark::DoNotOptimize(r.bits());
    }
}
BENCHMARK(BM_ReadPNG)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumavex::bench
