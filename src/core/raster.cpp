#include "raster.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "error.h"
#include "parallel.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lumavex {

void checkRasterSize(int64_t width, int64_t height)
{
    if (width < 0 || height < 0)
        throw Error(ErrorKind::BadArgument, "画像の大きさが負です: " + std::to_string(width) +
                                                " x " + std::to_string(height));
    if (width > kMaxSide || height > kMaxSide ||
        rowStride(static_cast<uint64_t>(width)) * static_cast<uint64_t>(height) > kMaxPixelBytes)
        throw Error(ErrorKind::TooLarge, "画像が大きすぎます: " + std::to_string(width) + " x " +
                                             std::to_string(height) + " (一辺 65535 ピクセル、" +
                                             kMaxPixelText + " まで)");
}

void fillPixels(uint8_t* p, size_t count, Color color)
{
    if (count == 0)
        return;
    const uint8_t b = static_cast<uint8_t>(blueOf(color));
    const uint8_t g = static_cast<uint8_t>(greenOf(color));
    const uint8_t r = static_cast<uint8_t>(redOf(color));
    if (b == g && g == r) {
        std::memset(p, b, count * 3);
        return;
    }
    p[0] = b;
    p[1] = g;
    p[2] = r;
    // Double the filled part until the run is complete.
    size_t done = 3;
    const size_t total = count * 3;
    while (done < total) {
        const size_t n = std::min(done, total - done);
        std::memcpy(p + done, p, n);
        done += n;
    }
}

Raster::Raster(int width, int height) : Raster(width, height, kWhite) {}

Raster::Raster(int width, int height, Color fill)
{
    allocate(width, height);
    fillRows(0, fill);
}

Raster Raster::unfilled(int width, int height)
{
    Raster r;
    r.allocate(width, height);
    const size_t pixelBytes = static_cast<size_t>(width) * 3;
    for (int y = 0; r.m_pixels && y < height; ++y)
        std::memset(r.row(y) + pixelBytes, 0, r.m_stride - pixelBytes);
    return r;
}

Raster::Raster(const Raster& other)
    : m_brushColor(other.m_brushColor),
      m_brushStyle(other.m_brushStyle),
      m_copyMode(other.m_copyMode),
      m_font(other.m_font)
{
    allocate(other.m_width, other.m_height);
    if (m_pixels)
        std::memcpy(m_pixels.get(), other.m_pixels.get(), m_stride * m_height);
}

// A picture of the same size keeps its rows: a snapshot of a picture taken over the last one
// costs one copy, without fresh pages to fault in.
Raster& Raster::operator=(const Raster& other)
{
    if (this == &other)
        return *this;
    if (!m_pixels || m_width != other.m_width || m_height != other.m_height ||
        m_stride != other.m_stride) {
        Raster copy(other);
        return *this = std::move(copy);
    }
    std::memcpy(m_pixels.get(), other.m_pixels.get(), m_stride * m_height);
    m_brushColor = other.m_brushColor;
    m_brushStyle = other.m_brushStyle;
    m_copyMode = other.m_copyMode;
    m_font = other.m_font;
    return *this;
}

Raster::Raster(Raster&& other) noexcept
{
    *this = std::move(other);
}

Raster& Raster::operator=(Raster&& other) noexcept
{
    if (this != &other) {
        m_width = std::exchange(other.m_width, 0);
        m_height = std::exchange(other.m_height, 0);
        m_stride = std::exchange(other.m_stride, 0);
        m_pixels = std::move(other.m_pixels);
        m_brushColor = other.m_brushColor;
        m_brushStyle = other.m_brushStyle;
        m_copyMode = other.m_copyMode;
        m_font = other.m_font;
    }
    return *this;
}

// Large pictures are asked to sit on huge pages: touching a fresh 36 MB picture would otherwise
// cost thousands of page faults, most of the time of a load or of an effect's temporary picture.
void adviseHugePages([[maybe_unused]] void* block, [[maybe_unused]] size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t huge = uintptr_t{2} << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + huge - 1) & ~(huge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(huge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

namespace {

// Released pixel blocks of photo size, kept for the next pictures of about their size. A fresh
// block of tens of megabytes is faulted in and cleared by the kernel page by page, which costs
// about as much as copying a picture into it; effects that make a new picture each time (a
// grown copy, a result raster) then pay that over and over. At most four blocks and 256 MiB
// are kept; a kept block's content is stale, which allocate's callers overwrite or leave as
// unspecified.
class BlockCache {
public:
    static constexpr size_t kSmallest = size_t{4} << 20;

    // Never destroyed, so that rasters released during exit can still reach it.
    static BlockCache& instance()
    {
        static BlockCache* cache = new BlockCache;
        return *cache;
    }

    // The smallest kept block of at least bytes (and not a quarter more), with its capacity;
    // or null.
    uint8_t* take(size_t bytes, size_t& capacity)
    {
        if (bytes < kSmallest)
            return nullptr;
        std::lock_guard<std::mutex> lock(m_mutex);
        int best = -1;
        for (int i = 0; i < m_count; ++i)
            if (m_blocks[i].capacity >= bytes && m_blocks[i].capacity - bytes <= bytes / 4 &&
                (best < 0 || m_blocks[i].capacity < m_blocks[best].capacity))
                best = i;
        if (best < 0)
            return nullptr;
        uint8_t* p = m_blocks[best].pixels;
        capacity = m_blocks[best].capacity;
        m_total -= capacity;
        std::move(m_blocks + best + 1, m_blocks + m_count, m_blocks + best);
        --m_count;
        return p;
    }

    // Keeps a released block, making room by freeing the oldest ones; false when it is not
    // kept (too small or too large), and the caller frees it.
    bool give(uint8_t* pixels, size_t capacity)
    {
        if (capacity < kSmallest || capacity > kMaxTotal)
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        while (m_count == kMaxBlocks || m_total + capacity > kMaxTotal) {
            delete[] m_blocks[0].pixels;
            m_total -= m_blocks[0].capacity;
            std::move(m_blocks + 1, m_blocks + m_count, m_blocks);
            --m_count;
        }
        m_blocks[m_count++] = {pixels, capacity};
        m_total += capacity;
        return true;
    }

private:
    static constexpr int kMaxBlocks = 4;
    static constexpr size_t kMaxTotal = size_t{256} << 20;
    struct Block {
        uint8_t* pixels;
        size_t capacity;
    };
    std::mutex m_mutex;
    Block m_blocks[kMaxBlocks] = {};
    int m_count = 0;
    size_t m_total = 0;
};

}  // namespace

void Raster::ReleasePixels::operator()(uint8_t* pixels) const noexcept
{
    if (!BlockCache::instance().give(pixels, capacity))
        delete[] pixels;
}

void Raster::allocate(int width, int height)
{
    checkRasterSize(width, height);
    const size_t stride = rowStride(static_cast<uint64_t>(width));
    const size_t bytes = stride * static_cast<size_t>(height);
    std::unique_ptr<uint8_t[], ReleasePixels> pixels;
    if (bytes > 0) {
        size_t capacity = bytes;
        uint8_t* p = BlockCache::instance().take(bytes, capacity);
        if (!p) {
            p = new (std::nothrow) uint8_t[bytes];
            if (!p)
                throw Error(ErrorKind::TooLarge,
                            "画像のメモリを確保できません: " + std::to_string(width) + " x " +
                                std::to_string(height));
            adviseHugePages(p, bytes);
        }
        pixels = std::unique_ptr<uint8_t[], ReleasePixels>(p, ReleasePixels{capacity});
    }
    m_width = width;
    m_height = height;
    m_stride = stride;
    m_pixels = std::move(pixels);
}

void Raster::fillRows(int fromRow, Color color)
{
    if (!m_pixels)  // a side of 0: no rows to fill
        return;
    const size_t pad = m_stride - static_cast<size_t>(m_width) * 3;
    const int rows = std::max(m_height - fromRow, 0);
    forEachBand(rows, bandsFor(rows, m_stride), [&](int first, int last) {
        for (int y = fromRow + first; y < fromRow + last; ++y) {
            uint8_t* r = row(y);
            fillPixels(r, m_width, color);
            std::memset(r + m_width * 3, 0, pad);
        }
    });
}

void Raster::setSize(int width, int height)
{
    if (width == m_width && height == m_height)
        return;
    const Color fill = m_brushStyle == BrushStyle::Solid ? m_brushColor : kBlack;
    Raster grown;
    grown.allocate(width, height);
    const int keepRows = std::min(height, m_height);
    const int keepCols = std::min(width, m_width);
    const size_t pad = grown.m_stride - static_cast<size_t>(width) * 3;
    if (grown.m_pixels)
        forEachBand(keepRows, bandsFor(keepRows, grown.m_stride), [&](int first, int last) {
            for (int y = first; y < last; ++y) {
                uint8_t* r = grown.row(y);
                if (keepCols > 0)
                    std::memcpy(r, row(y), static_cast<size_t>(keepCols) * 3);
                fillPixels(r + keepCols * 3, width - keepCols, fill);
                std::memset(r + width * 3, 0, pad);
            }
        });
    grown.fillRows(keepRows, fill);
    m_width = width;
    m_height = height;
    m_stride = grown.m_stride;
    m_pixels = std::move(grown.m_pixels);
}

Color Raster::pixel(int x, int y) const
{
    if (!contains(x, y))
        throw Error(ErrorKind::BadArgument, "画像の外の点 (" + std::to_string(x) + ", " +
                                                std::to_string(y) + ") は読めません");
    const uint8_t* p = row(y) + x * 3;
    return makeColor(p[2], p[1], p[0]);
}

void Raster::setPixel(int x, int y, Color color)
{
    if (!contains(x, y))
        return;
    uint8_t* p = row(y) + x * 3;
    p[0] = static_cast<uint8_t>(blueOf(color));
    p[1] = static_cast<uint8_t>(greenOf(color));
    p[2] = static_cast<uint8_t>(redOf(color));
}

bool Raster::samePixels(const Raster& other) const
{
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    for (int y = 0; y < m_height; ++y)
        if (std::memcmp(row(y), other.row(y), static_cast<size_t>(m_width) * 3) != 0)
            return false;
    return true;
}

void Raster::setBrushColor(Color color)
{
    m_brushColor = color;
    m_brushStyle = BrushStyle::Solid;
}

namespace {

Rect intersect(const Rect& a, const Rect& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Applies a bytewise operation to n bytes, eight at a time: the compiler does not widen the
// plain byte loop by itself at -O2.
template <class Op>
void combineWords(uint8_t* dst, const uint8_t* src, size_t n, Op op)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t d, s;
        std::memcpy(&d, dst + i, 8);
        std::memcpy(&s, src + i, 8);
        d = op(d, s);
        std::memcpy(dst + i, &d, 8);
    }
    for (; i < n; ++i)
        dst[i] = static_cast<uint8_t>(op(uint64_t{dst[i]}, uint64_t{src[i]}));
}

// Combines n bytes of a source into a destination with one copy mode. The two never overlap
// except for SRCCOPY (self copies of the other modes go through a temporary).
void combineBytes(uint8_t* dst, const uint8_t* src, size_t n, CopyMode mode)
{
    switch (mode) {
        case CopyMode::SrcCopy: std::memmove(dst, src, n); break;
        case CopyMode::DstInvert:
            combineWords(dst, dst, n, [](uint64_t d, uint64_t) { return ~d; });
            break;
        case CopyMode::NotSrcCopy:
            combineWords(dst, src, n, [](uint64_t, uint64_t s) { return ~s; });
            break;
        case CopyMode::SrcPaint:
            combineWords(dst, src, n, [](uint64_t d, uint64_t s) { return d | s; });
            break;
    }
}

}  // namespace

void Raster::fillRect(const Rect& rect)
{
    if (m_brushStyle == BrushStyle::Clear)
        return;
    const Rect r = intersect(rect, bounds());
    if (r.width() <= 0 || r.height() <= 0)
        return;
    fillPixels(row(r.top) + r.left * 3, r.width(), m_brushColor);
    for (int y = r.top + 1; y < r.bottom; ++y)
        std::memcpy(row(y) + r.left * 3, row(r.top) + r.left * 3,
                    static_cast<size_t>(r.width()) * 3);
}

void Raster::copyRect(const Rect& dest, const Raster& source, const Rect& sourceRect)
{
    if (dest.width() <= 0 || dest.height() <= 0)
        return;
    if (m_copyMode == CopyMode::DstInvert) {
        const Rect r = intersect(dest, bounds());
        for (int y = r.top; y < r.bottom; ++y)
            combineBytes(row(y) + r.left * 3, nullptr, static_cast<size_t>(r.width()) * 3,
                         CopyMode::DstInvert);
        return;
    }
    if (sourceRect.width() <= 0 || sourceRect.height() <= 0)
        return;
    if (&source == this) {
        // Reading and writing the same rows: take the source part aside first.
        const Rect s = intersect(sourceRect, bounds());
        if (s.width() <= 0 || s.height() <= 0)
            return;
        Raster part(s.width(), s.height());
        for (int y = s.top; y < s.bottom; ++y)
            std::memcpy(part.row(y - s.top), row(y) + s.left * 3,
                        static_cast<size_t>(s.width()) * 3);
        const Rect shifted{sourceRect.left - s.left, sourceRect.top - s.top,
                           sourceRect.right - s.left, sourceRect.bottom - s.top};
        copyRect(dest, part, shifted);
        return;
    }

    if (dest.width() == sourceRect.width() && dest.height() == sourceRect.height()) {
        // One to one: clip against both rasters.
        const int dx = dest.left - sourceRect.left;
        const int dy = dest.top - sourceRect.top;
        const Rect srcInDest{std::max(0, sourceRect.left) + dx, std::max(0, sourceRect.top) + dy,
                             std::min(source.m_width, sourceRect.right) + dx,
                             std::min(source.m_height, sourceRect.bottom) + dy};
        const Rect r = intersect(intersect(dest, bounds()), srcInDest);
        if (r.width() <= 0 || r.height() <= 0)
            return;
        for (int y = r.top; y < r.bottom; ++y)
            combineBytes(row(y) + r.left * 3, source.row(y - dy) + (r.left - dx) * 3,
                         static_cast<size_t>(r.width()) * 3, m_copyMode);
        return;
    }

    // Stretching by nearest neighbour.
    const Rect r = intersect(dest, bounds());
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const int64_t dw = dest.width();
    const int64_t dh = dest.height();
    const int64_t sw = sourceRect.width();
    const int64_t sh = sourceRect.height();
    std::vector<int> columns;
    columns.reserve(r.width());
    for (int x = r.left; x < r.right; ++x)
        columns.push_back(static_cast<int>(sourceRect.left + (x - dest.left) * sw / dw));
    // One row of the result, with line room for a scaled source row.
    auto stretchRow = [&](int y, uint8_t* line) {
        const int sy = static_cast<int>(sourceRect.top + (y - dest.top) * sh / dh);
        if (sy < 0 || sy >= source.m_height)
            return;
        const uint8_t* src = source.row(sy);
        uint8_t* dst = row(y) + r.left * 3;
        if (sw == dw) {
            // Only the rows are scaled: the columns that lie inside the source are one run.
            int first = 0;
            while (first < r.width() && columns[first] < 0)
                ++first;
            int last = r.width();
            while (last > first && columns[last - 1] >= source.m_width)
                --last;
            if (last > first)
                combineBytes(dst + first * 3, src + columns[first] * 3,
                             static_cast<size_t>(last - first) * 3, m_copyMode);
            return;
        }
        // Gather the scaled source row, then combine the runs that lie inside the source.
        int runStart = -1;
        for (int i = 0; i <= r.width(); ++i) {
            const bool inside = i < r.width() && columns[i] >= 0 && columns[i] < source.m_width;
            if (inside) {
                std::memcpy(&line[i * 3], src + columns[i] * 3, 3);
                if (runStart < 0)
                    runStart = i;
            } else if (runStart >= 0) {
                combineBytes(dst + runStart * 3, &line[runStart * 3],
                             static_cast<size_t>(i - runStart) * 3, m_copyMode);
                runStart = -1;
            }
        }
    };
    // Each row reads only the source, so the rows go in bands on the pool.
    const size_t rowBytes = static_cast<size_t>(r.width()) * 3;
    forEachBand(r.height(), bandsFor(r.height(), rowBytes), [&](int first, int last) {
        std::vector<uint8_t> line(rowBytes);
        for (int y = r.top + first; y < r.top + last; ++y)
            stretchRow(y, line.data());
    });
}

void Raster::draw(int x, int y, const Raster& picture)
{
    copyRect({x, y, x + picture.m_width, y + picture.m_height}, picture, picture.bounds());
}

void Raster::stretchDraw(const Rect& dest, const Raster& picture)
{
    copyRect(dest, picture, picture.bounds());
}

void Raster::floodFill(int x, int y, Color surface)
{
    if (!contains(x, y) || m_brushStyle == BrushStyle::Clear)
        return;
    const uint8_t target[3] = {static_cast<uint8_t>(blueOf(surface)),
                               static_cast<uint8_t>(greenOf(surface)),
                               static_cast<uint8_t>(redOf(surface))};
    if ((surface & 0xFFFFFF) == (m_brushColor & 0xFFFFFF))
        return;
    auto isTarget = [&](int px, int py) {
        const uint8_t* p = row(py) + px * 3;
        return p[0] == target[0] && p[1] == target[1] && p[2] == target[2];
    };
    if (!isTarget(x, y))
        return;

    // Scanline fill with an explicit stack of seeds, so no picture can exhaust the call stack.
    struct Seed {
        int x, y;
    };
    std::vector<Seed> seeds{{x, y}};
    while (!seeds.empty()) {
        const Seed s = seeds.back();
        seeds.pop_back();
        if (!isTarget(s.x, s.y))
            continue;
        int left = s.x;
        while (left > 0 && isTarget(left - 1, s.y))
            --left;
        int right = s.x;
        while (right + 1 < m_width && isTarget(right + 1, s.y))
            ++right;
        fillPixels(row(s.y) + left * 3, right - left + 1, m_brushColor);
        for (int ny : {s.y - 1, s.y + 1}) {
            if (ny < 0 || ny >= m_height)
                continue;
            bool inRun = false;
            for (int px = left; px <= right; ++px) {
                const bool t = isTarget(px, ny);
                if (t && !inRun)
                    seeds.push_back({px, ny});
                inRun = t;
            }
        }
    }
}

}  // namespace lumavex
