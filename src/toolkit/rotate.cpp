#include "rotate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "adopt.h"
#include "core/color.h"
#include "core/error.h"
#include "core/parallel.h"
#include "core/simd.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace lumavex {

namespace {

// The three shears work on pixels of four bytes (blue, green, red, 0), so that the columns of
// the vertical shear can be turned into rows with whole-word transposes. The buffers are large
// and walked across their rows, so they ask for huge pages where the system has them: fewer
// page faults and far fewer address-translation misses. Their words start uninitialised.
class Buffer {
public:
    Buffer(int w, int h) : width(w), height(h)
    {
        const size_t bytes = static_cast<size_t>(w) * h * sizeof(uint32_t);
        if (bytes == 0)
            return;
        constexpr size_t kHuge = size_t{2} << 20;
        void* p = nullptr;
        const size_t alignment = bytes >= kHuge ? kHuge : 64;
        if (posix_memalign(&p, alignment, (bytes + alignment - 1) / alignment * alignment) != 0)
            throw Error(ErrorKind::TooLarge, "回転のためのメモリを確保できません: " +
                                                 std::to_string(w) + " x " + std::to_string(h));
#ifdef MADV_HUGEPAGE
        if (alignment == kHuge)
            madvise(p, (bytes + kHuge - 1) / kHuge * kHuge, MADV_HUGEPAGE);
#endif
        m_words.reset(static_cast<uint32_t*>(p));
    }
    uint32_t* row(int y)
    {
        return m_words.get() + static_cast<size_t>(y) * width;
    }
    const uint32_t* row(int y) const
    {
        return m_words.get() + static_cast<size_t>(y) * width;
    }
    void release()
    {
        m_words.reset();
    }

    int width = 0;
    int height = 0;

private:
    struct Free {
        void operator()(uint32_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint32_t[], Free> m_words;
};

// One channel blended: Round((prev w + cur (4096 - w) + 2048) / 4096) with ties to even, then
// clamped to 0..255. With x = prev w + cur (4096 - w) and n = x + 2048, the tie-to-even
// rounding of n / 4096 is (n + 2047 + ((n >> 12) & 1)) >> 12 (shifts round toward minus
// infinity).
inline uint8_t blendChannel(int prev, int cur, int w)
{
    const int n = prev * w + cur * (4096 - w) + 2048;
    const int q = (n + 2047 + ((n >> 12) & 1)) >> 12;
    return static_cast<uint8_t>(std::clamp(q, 0, 255));
}

inline uint32_t blendPixel(uint32_t prev, uint32_t cur, int w)
{
    uint32_t out = 0;
    for (int c = 0; c < 32; c += 8)
        out |= uint32_t{blendChannel((prev >> c) & 0xFF, (cur >> c) & 0xFF, w)} << c;
    return out;
}

// out[i] = blend(prev = cur[i - 1], cur[i]) for n pixels.
void blendRunPlain(const uint32_t* cur, uint32_t* out, int n, int w)
{
    for (int i = 0; i < n; ++i)
        out[i] = blendPixel(cur[i - 1], cur[i], w);
}

void expandRowPlain(const uint8_t* in, int n, uint32_t* out)
{
    for (int x = 0; x < n; ++x, in += 3)
        out[x] = in[0] | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16;
}

void packRowPlain(const uint32_t* in, int n, uint8_t* out)
{
    for (int x = 0; x < n; ++x, out += 3) {
        out[0] = static_cast<uint8_t>(in[x]);
        out[1] = static_cast<uint8_t>(in[x] >> 8);
        out[2] = static_cast<uint8_t>(in[x] >> 16);
    }
}

// to[c * toStride + r] = from[r * fromStride + c] for r < rows, c < cols.
void transposePlain(const uint32_t* from, size_t fromStride, int rows, int cols, uint32_t* to,
                    size_t toStride)
{
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            to[c * toStride + r] = from[r * fromStride + c];
}

#ifdef LUMAVEX_X86

// blendChannel's rounding of eight sums x = prev w + cur (4096 - w).
__attribute__((target("avx2"))) inline __m256i roundedAvx2(__m256i x)
{
    const __m256i n = _mm256_add_epi32(x, _mm256_set1_epi32(2048));
    const __m256i odd = _mm256_and_si256(_mm256_srai_epi32(n, 12), _mm256_set1_epi32(1));
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(n, _mm256_set1_epi32(2047)), odd),
                             12);
}

__attribute__((target("avx2"))) void blendRunAvx2(const uint32_t* cur, uint32_t* out, int n, int w)
{
    const auto* c8 = reinterpret_cast<const uint8_t*>(cur);
    auto* o8 = reinterpret_cast<uint8_t*>(out);
    const size_t bytes = static_cast<size_t>(n) * 4;
    // Pairs (cur, prev) of 16-bit lanes times (4096 - w, w), summed into 32 bits.
    const __m256i weights = _mm256_set1_epi32(static_cast<int>(
        (static_cast<uint32_t>(w) << 16) | (static_cast<uint32_t>(4096 - w) & 0xFFFF)));
    size_t e = 0;
    for (; e + 16 <= bytes; e += 16) {
        const __m256i c =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c8 + e)));
        const __m256i p =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c8 + e - 4)));
        const __m256i lo = roundedAvx2(_mm256_madd_epi16(_mm256_unpacklo_epi16(c, p), weights));
        const __m256i hi = roundedAvx2(_mm256_madd_epi16(_mm256_unpackhi_epi16(c, p), weights));
        const __m256i words = _mm256_packs_epi32(lo, hi);
        const __m128i packed =
            _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o8 + e), packed);
    }
    const int done = static_cast<int>(e / 4);
    blendRunPlain(cur + done, out + done, n - done, w);
}

// GCC 12's AVX-512 headers start some intrinsics from an undefined register, which its
// uninitialised-use warning reports at every call.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

__attribute__((target("avx512f,avx512bw"))) inline __m512i rounded512(__m512i x)
{
    const __m512i n = _mm512_add_epi32(x, _mm512_set1_epi32(2048));
    const __m512i odd = _mm512_and_si512(_mm512_srai_epi32(n, 12), _mm512_set1_epi32(1));
    return _mm512_srai_epi32(_mm512_add_epi32(_mm512_add_epi32(n, _mm512_set1_epi32(2047)), odd),
                             12);
}

// Thirty-two bytes of blendRunAvx2 at e, through a byte mask (the run's last, shorter step).
__attribute__((target("avx512f,avx512bw,avx512vl,avx2"))) inline void blend32x512(
    const uint8_t* c8, uint8_t* o8, size_t e, __m512i weights, __mmask32 mask)
{
    const __m512i c = _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(mask, c8 + e));
    const __m512i p = _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(mask, c8 + e - 4));
    const __m512i lo = rounded512(_mm512_madd_epi16(_mm512_unpacklo_epi16(c, p), weights));
    const __m512i hi = rounded512(_mm512_madd_epi16(_mm512_unpackhi_epi16(c, p), weights));
    const __m512i words = _mm512_max_epi16(_mm512_packs_epi32(lo, hi), _mm512_setzero_si512());
    _mm256_mask_storeu_epi8(o8 + e, mask, _mm512_cvtusepi16_epi8(words));
}

// As blendRunAvx2, thirty-two bytes at a time; the last step is masked.
__attribute__((target("avx512f,avx512bw,avx512vl,avx2"))) void blendRun512(const uint32_t* cur,
                                                                           uint32_t* out, int n,
                                                                           int w)
{
    const auto* c8 = reinterpret_cast<const uint8_t*>(cur);
    auto* o8 = reinterpret_cast<uint8_t*>(out);
    const size_t bytes = static_cast<size_t>(n) * 4;
    const __m512i weights = _mm512_set1_epi32(static_cast<int>(
        (static_cast<uint32_t>(w) << 16) | (static_cast<uint32_t>(4096 - w) & 0xFFFF)));
    size_t e = 0;
    for (; e + 32 <= bytes; e += 32)
        blend32x512(c8, o8, e, weights, ~__mmask32{0});
    if (e < bytes)
        blend32x512(c8, o8, e, weights, static_cast<__mmask32>((uint64_t{1} << (bytes - e)) - 1));
}

#pragma GCC diagnostic pop

__attribute__((target("avx2"))) void expandRowAvx2(const uint8_t* in, int n, uint32_t* out)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int x = 0;
    // Reads 16 bytes for every 4 pixels (12 bytes), so stops 2 pixels early.
    for (; x + 6 <= n; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_shuffle_epi8(v, spread));
    }
    expandRowPlain(in + 3 * x, n - x, out + x);
}

__attribute__((target("avx2"))) void packRowAvx2(const uint32_t* in, int n, uint8_t* out)
{
    const __m128i gather = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    // Writes 16 bytes for every 4 pixels (12 bytes), so stops 2 pixels early.
    for (; x + 6 <= n; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), _mm_shuffle_epi8(v, gather));
    }
    packRowPlain(in + x, n - x, out + 3 * x);
}

// The plain transpose in blocks of 8 x 8 words, each turned in registers.
__attribute__((target("avx2"))) void transposeAvx2(const uint32_t* from, size_t fromStride,
                                                   int rows, int cols, uint32_t* to,
                                                   size_t toStride)
{
    const int fullRows = rows / 8 * 8;
    const int fullCols = cols / 8 * 8;
    // Column blocks outside, so that the blocks landing in the same rows of `to` (one cache
    // line for sixteen rows) are written one after the other.
    for (int c0 = 0; c0 < fullCols; c0 += 8) {
        for (int r0 = 0; r0 < fullRows; r0 += 8) {
            const uint32_t* f = from + r0 * fromStride + c0;
            const auto* g = reinterpret_cast<const float*>(f);
            const __m256 r0v = _mm256_loadu_ps(g), r1v = _mm256_loadu_ps(g + fromStride);
            const __m256 r2v = _mm256_loadu_ps(g + 2 * fromStride);
            const __m256 r3v = _mm256_loadu_ps(g + 3 * fromStride);
            const __m256 r4v = _mm256_loadu_ps(g + 4 * fromStride);
            const __m256 r5v = _mm256_loadu_ps(g + 5 * fromStride);
            const __m256 r6v = _mm256_loadu_ps(g + 6 * fromStride);
            const __m256 r7v = _mm256_loadu_ps(g + 7 * fromStride);
            const __m256 t0 = _mm256_unpacklo_ps(r0v, r1v), t1 = _mm256_unpackhi_ps(r0v, r1v);
            const __m256 t2 = _mm256_unpacklo_ps(r2v, r3v), t3 = _mm256_unpackhi_ps(r2v, r3v);
            const __m256 t4 = _mm256_unpacklo_ps(r4v, r5v), t5 = _mm256_unpackhi_ps(r4v, r5v);
            const __m256 t6 = _mm256_unpacklo_ps(r6v, r7v), t7 = _mm256_unpackhi_ps(r6v, r7v);
            const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
            const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
            const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
            const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
            float* d = reinterpret_cast<float*>(to + c0 * toStride + r0);
            _mm256_storeu_ps(d, _mm256_permute2f128_ps(u0, u4, 0x20));
            _mm256_storeu_ps(d + toStride, _mm256_permute2f128_ps(u1, u5, 0x20));
            _mm256_storeu_ps(d + 2 * toStride, _mm256_permute2f128_ps(u2, u6, 0x20));
            _mm256_storeu_ps(d + 3 * toStride, _mm256_permute2f128_ps(u3, u7, 0x20));
            _mm256_storeu_ps(d + 4 * toStride, _mm256_permute2f128_ps(u0, u4, 0x31));
            _mm256_storeu_ps(d + 5 * toStride, _mm256_permute2f128_ps(u1, u5, 0x31));
            _mm256_storeu_ps(d + 6 * toStride, _mm256_permute2f128_ps(u2, u6, 0x31));
            _mm256_storeu_ps(d + 7 * toStride, _mm256_permute2f128_ps(u3, u7, 0x31));
        }
    }
    transposePlain(from + fullCols, fromStride, fullRows, cols - fullCols, to + fullCols * toStride,
                   toStride);
    transposePlain(from + fullRows * fromStride, fromStride, rows - fullRows, cols, to + fullRows,
                   toStride);
}

#endif

struct Kernels {
    void (*blendRun)(const uint32_t*, uint32_t*, int, int) = blendRunPlain;
    void (*expandRow)(const uint8_t*, int, uint32_t*) = expandRowPlain;
    void (*packRow)(const uint32_t*, int, uint8_t*) = packRowPlain;
    void (*transpose)(const uint32_t*, size_t, int, int, uint32_t*, size_t) = transposePlain;
};

Kernels kernels()
{
    Kernels k;
#ifdef LUMAVEX_X86
    if (simd::level() >= simd::Level::Avx2) {
        k.blendRun = blendRunAvx2;
        k.expandRow = expandRowAvx2;
        k.packRow = packRowAvx2;
        k.transpose = transposeAvx2;
    }
    if (simd::level() == simd::Level::Avx512)
        k.blendRun = blendRun512;
#endif
    return k;
}

void fillWords(uint32_t* out, int64_t n, uint32_t word)
{
    if (n <= 0)
        return;
    if (word == 0) {
        std::memset(out, 0, static_cast<size_t>(n) * 4);
        return;
    }
    for (int64_t i = 0; i < n; ++i)
        out[i] = word;
}

// One line of a shear, seen through a window: the lin pixels of `in` land at positions v.. of
// the output line (pixel q at v + q); those outside the line are dropped. prev starts as the
// background and follows the pixels that land inside. With w > 0 and room after the last pixel,
// the next position takes prev blended with the background. Everything else is background.
// Writes positions o0..o1-1 of the line (within it) to out[0 .. o1 - o0).
void shearWindow(const Kernels& k, const uint32_t* in, int lin, int v, int w, uint32_t background,
                 bool antialias, int o0, int o1, uint32_t* out)
{
    const int64_t first = std::max<int64_t>(v, 0);  // where the first pixel inside lands
    const int64_t end = int64_t{v} + lin;           // one past where the last pixel lands
    const int64_t ja = std::max<int64_t>(first, o0);
    const int64_t jb = std::min<int64_t>(end, o1);
    int64_t done = 0;  // out[0 .. done) is written
    if (ja < jb) {
        fillWords(out, ja - o0, background);
        if (antialias) {
            int64_t j = ja;
            if (j == first) {
                out[j - o0] = blendPixel(background, in[j - v], w);
                ++j;
            }
            if (j < jb)
                k.blendRun(in + (j - v), out + (j - o0), static_cast<int>(jb - j), w);
        } else {
            std::memcpy(out + (ja - o0), in + (ja - v), static_cast<size_t>(jb - ja) * 4);
        }
        done = jb - o0;
    }
    if (antialias && w > 0 && end >= o0 && end < o1 && end >= 0) {
        fillWords(out + done, end - o0 - done, background);
        const uint32_t prev = end - 1 >= first ? in[lin - 1] : background;
        out[end - o0] = blendPixel(prev, background, w);
        done = end - o0 + 1;
    }
    fillWords(out + done, (o1 - o0) - done, background);
}

void refuseTooLarge(int64_t w, int64_t h, int64_t resultW, int64_t resultH)
{
    if (w > kMaxSide || h > kMaxSide ||
        rowStride(static_cast<uint64_t>(w)) * static_cast<uint64_t>(h) > kMaxPixelBytes)
        throw Error(ErrorKind::TooLarge, "回転した画像が大きすぎます: " + std::to_string(resultW) +
                                             " x " + std::to_string(resultH) +
                                             " (一辺 65535 ピクセル、" + kMaxPixelText + " まで)");
}

Raster shearRotate(const Raster& source, int degrees, bool antialias, Color background)
{
    const int W = source.width();
    const int H = source.height();
    const ShearSizes z = RotationShearSizes(W, H, degrees);
    refuseTooLarge(z.w3, z.h2, z.w3, z.h2);
    refuseTooLarge(z.w1, H, z.w3, z.h2);
    refuseTooLarge(z.w1, z.h2, z.w3, z.h2);
    const int W1 = static_cast<int>(z.w1);
    const int H2 = static_cast<int>(z.h2);
    const int W3 = static_cast<int>(z.w3);
    const int d2 = static_cast<int>(z.d2);
    const int d3 = static_cast<int>(z.d3);

    const double theta = degrees * std::numbers::pi / 180.0;
    const double t = std::fabs(std::tan(theta / 2.0));
    const double s = std::fabs(std::sin(theta));
    const bool positive = theta > 0;
    const uint32_t bg = static_cast<uint32_t>(blueOf(background)) |
                        static_cast<uint32_t>(greenOf(background)) << 8 |
                        static_cast<uint32_t>(redOf(background)) << 16;
    const Kernels k = kernels();

    // Shift and weight of every line of the three shears.
    struct Step {
        int v;
        int w;
    };
    auto step = [](double offset, bool truncate, int64_t trim) {
        const int64_t v = roundHalfEven(offset);
        const double fraction = (offset - v) * 4096.0;
        const int w = static_cast<int>(truncate ? std::trunc(fraction) : roundHalfEven(fraction));
        return Step{static_cast<int>(v - trim), w};
    };

    // Shear 1, horizontal: the rows of the source into buffer 1, kept turned (column x of
    // buffer 1 is row x of t1) for the vertical shear. Sixteen rows at a time go through a
    // small block and are transposed into t1; bands of these blocks run side by side.
    Buffer t1(H, W1);
    {
        constexpr int kRows = 16;
        const int blocks = (H + kRows - 1) / kRows;
        const size_t blockBytes = size_t{kRows} * (static_cast<size_t>(W) * 3 + size_t(W1) * 4);
        forEachBand(blocks, bandsFor(blocks, blockBytes), [&](int firstBlock, int lastBlock) {
            Buffer block(W1, kRows);
            std::vector<uint32_t> line(static_cast<size_t>(W) + 1);
            for (int i0 = firstBlock * kRows; i0 < std::min(H, lastBlock * kRows); i0 += kRows) {
                const int rows = std::min(kRows, H - i0);
                for (int r = 0; r < rows; ++r) {
                    const int i = i0 + r;
                    const Step st = step(positive ? i * t : (H - i) * t, true, 0);
                    k.expandRow(source.row(i), W, line.data());
                    shearWindow(k, line.data(), W, st.v, st.w, bg, antialias, 0, W1, block.row(r));
                }
                k.transpose(block.row(0), block.width, rows, W1, t1.row(0) + i0, t1.width);
            }
        });
    }

    // Shears 2 (vertical) and 3 (horizontal), a block of rows of buffer 2 at a time: the block's
    // part of every column of buffer 1 (a row of t1) is sheared into a column block, turned
    // into rows, and each row is sheared into the result. Buffer 2 is never held whole; bands
    // of blocks run side by side.
    std::vector<Step> columnSteps(static_cast<size_t>(W1));
    for (int x = 0; x < W1; ++x)
        columnSteps[x] = step(positive ? (W1 - x) * s : x * s, false, d2);
    Raster result = Raster::unfilled(W3, H2);  // every row is written below
    constexpr int kBand = 16;
    const int blocks = (H2 + kBand - 1) / kBand;
    const size_t blockBytes = size_t{kBand} * (size_t(W1) * 8 + size_t(W3) * 3);
    forEachBand(blocks, bandsFor(blocks, blockBytes), [&](int firstBlock, int lastBlock) {
        Buffer columns(kBand, W1);  // columns.row(x): rows y0.. of column x of buffer 2
        Buffer band(W1, kBand);
        std::vector<uint32_t> line(static_cast<size_t>(W3));
        for (int y0 = firstBlock * kBand; y0 < std::min(H2, lastBlock * kBand); y0 += kBand) {
            const int rows = std::min(kBand, H2 - y0);
            for (int x = 0; x < W1; ++x) {
                // The rows of t1 lie far apart: fetch the part a later column will read.
                constexpr int kAhead = 12;
                if (x + kAhead < W1) {
                    const int64_t q =
                        std::clamp<int64_t>(int64_t{y0} - columnSteps[x + kAhead].v - 1, 0, H - 1);
                    const uint32_t* ahead = t1.row(x + kAhead) + q;
                    for (int word = 0; word < kBand + 2; word += 16)
                        __builtin_prefetch(ahead + std::min<int64_t>(word, H - 1 - q));
                }
                shearWindow(k, t1.row(x), H, columnSteps[x].v, columnSteps[x].w, bg, antialias, y0,
                            y0 + rows, columns.row(x));
            }
            k.transpose(columns.row(0), columns.width, W1, rows, band.row(0), band.width);
            for (int r = 0; r < rows; ++r) {
                const int y = y0 + r;
                const Step st = step(positive ? y * t : (H2 - y) * t, false, d3);
                shearWindow(k, band.row(r), W1, st.v, st.w, bg, antialias, 0, W3, line.data());
                k.packRow(line.data(), W3, result.row(y));
            }
        }
    });
    return result;
}

}  // namespace

ShearSizes RotationShearSizes(int width, int height, int degrees)
{
    const double theta = degrees * std::numbers::pi / 180.0;
    const double t = std::fabs(std::tan(theta / 2.0));
    const double s = std::fabs(std::sin(theta));
    ShearSizes z;
    z.w1 = roundHalfEven(height * t + width + 1);
    z.d2 = roundHalfEven((z.w1 - width) * s);
    z.h2BeforeCorrection = roundHalfEven(z.w1 * s + height + 1);
    z.d3 = roundHalfEven((z.h2BeforeCorrection - height - z.d2) * t);
    z.h2 = z.h2BeforeCorrection - 2 * z.d2;
    z.w3 = roundHalfEven(z.h2 * t + z.w1 + 1 - 2 * z.d3);
    return z;
}

Raster QuarterTurned(const Raster& picture, int quarterTurns)
{
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (turns == 0)
        return picture;
    const int W = picture.width();
    const int H = picture.height();
    Raster result = turns == 2 ? Raster::unfilled(W, H) : Raster::unfilled(H, W);
    const int RW = result.width();
    const int RH = result.height();
    // Tiles of 32 x 32 keep the rows read and written at once in the cache; bands of rows of
    // tiles run side by side.
    constexpr int kTile = 32;
    const int tileRows = (RH + kTile - 1) / kTile;
    const size_t tileRowBytes = size_t{kTile} * RW * 6;
    forEachBand(tileRows, bandsFor(tileRows, tileRowBytes), [&](int firstTileRow, int lastTileRow) {
        for (int ty = firstTileRow * kTile; ty < std::min(RH, lastTileRow * kTile); ty += kTile)
            for (int tx = 0; tx < RW; tx += kTile)
                for (int y = ty; y < std::min(RH, ty + kTile); ++y) {
                    uint8_t* out = result.row(y);
                    for (int x = tx; x < std::min(RW, tx + kTile); ++x) {
                        int sx, sy;
                        if (turns == 1) {  // counter-clockwise
                            sx = W - 1 - y;
                            sy = x;
                        } else if (turns == 3) {  // clockwise
                            sx = y;
                            sy = H - 1 - x;
                        } else {
                            sx = W - 1 - x;
                            sy = H - 1 - y;
                        }
                        std::memcpy(out + 3 * x, picture.row(sy) + 3 * sx, 3);
                    }
                }
    });
    return result;
}

void Rotate(Raster& picture, int degrees, bool antialias, Color background)
{
    int n = degrees % 360;
    int turns = 0;
    while (n > 45) {
        n -= 90;
        ++turns;
    }
    while (n < -45) {
        n += 90;
        --turns;
    }
    if (n == 0) {
        if (turns % 4 != 0)
            adoptPixels(picture, QuarterTurned(picture, turns));
        return;
    }
    if (picture.empty())
        return;
    if (turns % 4 == 0) {
        adoptPixels(picture, shearRotate(picture, n, antialias, background));
        return;
    }
    const Raster turned = QuarterTurned(picture, turns);
    adoptPixels(picture, shearRotate(turned, n, antialias, background));
}

}  // namespace lumavex
