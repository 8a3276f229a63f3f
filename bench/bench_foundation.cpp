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

// Times write(out) into one buffer, reused and reserved up front, so that the figure is the
// writer's and not the page faults'.
template <typename Write>
void timeWriter(benchmark::State& state, size_t reserve, Write write)
{
    MemoryOutput out;
    out.bytes().reserve(reserve);
    for (auto _ : state) {
        out.bytes().clear();
        write(out);
        benchmark::DoNotOptimize(out.bytes().data());
    }
}

template <typename Read>
void timeReader(benchmark::State& state, const std::vector<uint8_t>& file, Read read)
{
    for (auto _ : state) {
        Raster r = read(file);
        benchmark::DoNotOptimize(r.bits());
    }
}

void BM_WriteBMP(benchmark::State& state)
{
    timeWriter(state, photo().stride() * photo().height() + 54,
               [](MemoryOutput& out) { WriteBMP(out, photo()); });
}
BENCHMARK(BM_WriteBMP)->Unit(benchmark::kMillisecond);

void BM_ReadBMP(benchmark::State& state)
{
    MemoryOutput out;
    WriteBMP(out, photo());
    timeReader(state, out.bytes(), [](const std::vector<uint8_t>& file) { return ReadBMP(file); });
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
    timeWriter(state, photoJpeg().size() * 2, [](MemoryOutput& out) { WriteJPEG(out, photo()); });
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
    timeReader(state, photoJpeg(), [](const std::vector<uint8_t>& file) { return ReadJPEG(file); });
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
    timeWriter(state, 0, [](MemoryOutput& out) { WritePNG(out, photo()); });
}
BENCHMARK(BM_WritePNG)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReadPNG(benchmark::State& state)
{
    MemoryOutput out;
    WritePNG(out, photo());
    timeReader(state, out.bytes(), [](const std::vector<uint8_t>& file) { return ReadPNG(file); });
}
BENCHMARK(BM_ReadPNG)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumavex::bench
