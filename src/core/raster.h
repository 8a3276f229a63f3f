#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lumavex {

/// A colour value in the layout 0x00BBGGRR: red in the low byte, blue in bits 16-23.
using Color = uint32_t;

constexpr Color kWhite = 0x00FFFFFF;
constexpr Color kBlack = 0x00000000;

constexpr Color makeColor(int red, int green, int blue)
{
    return static_cast<Color>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}
constexpr int redOf(Color c)
{
    return c & 0xFF;
}
constexpr int greenOf(Color c)
{
    return (c >> 8) & 0xFF;
}
constexpr int blueOf(Color c)
{
    return (c >> 16) & 0xFF;
}

/// The largest picture the program handles: 65535 pixels a side and 1 GiB of pixel rows.
/// Fuzz builds keep the side but allow only 4 MiB of rows, so that a small file claiming a huge
/// picture is refused by the same checks at once instead of costing a gigabyte fill per input.
constexpr int kMaxSide = 65535;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr uint64_t kMaxPixelBytes = uint64_t{4} << 20;
constexpr const char* kMaxPixelText = "4 MiB";
#else
constexpr uint64_t kMaxPixelBytes = uint64_t{1} << 30;
constexpr const char* kMaxPixelText = "1 GiB";
#endif

/// Bytes in one stored row of a picture w pixels wide: three a pixel, padded to 4.
constexpr uint64_t rowStride(uint64_t width)
{
    return (width * 3 + 3) & ~uint64_t{3};
}

/// Throws Error(TooLarge) unless a w x h picture (0 allowed) fits the limit above, and
/// Error(BadArgument) for a negative side. Takes 64-bit sides so that callers can pass
/// computed sizes before narrowing them.
void checkRasterSize(int64_t width, int64_t height);

/// Raster operations that combine a source with the destination (the Windows codes).
enum class CopyMode : uint32_t {
    SrcCopy = 0x00CC0020,     ///< destination = source
    DstInvert = 0x00550009,   ///< destination = 255 - destination, source ignored
    NotSrcCopy = 0x00330008,  ///< destination = 255 - source
    SrcPaint = 0x00EE0086,    ///< destination = destination OR source, bytewise
};

enum class BrushStyle { Solid, Clear };

/// A rectangle with right and bottom exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

/// The font of a drawing surface: what text out draws with.
struct Font {
    std::string family = "ＭＳ Ｐゴシック";
    int pixelSize = 12;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    Color color = kBlack;
    bool operator==(const Font&) const = default;
};

/// The working raster: W x H pixels at 24 bits, rows top to bottom, each pixel the bytes blue,
/// green, red, rows padded to 4 bytes (so a QImage of Format_BGR888 or a BMP can use them as
/// they are). It carries a drawing surface: brush colour and style, font, copy mode.
class Raster {
public:
    /// An empty raster, 0 x 0.
    Raster() = default;
    /// A width x height raster filled with white. Throws as checkRasterSize.
    Raster(int width, int height);
    /// A width x height raster filled with the given colour. Throws as checkRasterSize.
    Raster(int width, int height, Color fill);
    /// A width x height raster whose pixels are left as the allocation gives them (the row
    /// padding is zero), for decoders that write every pixel. Throws as checkRasterSize.
    static Raster unfilled(int width, int height);

    Raster(const Raster& other);
    Raster& operator=(const Raster& other);
    Raster(Raster&& other) noexcept;
    Raster& operator=(Raster&& other) noexcept;
    ~Raster() = default;

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_width == 0 || m_height == 0; }
    /// Bytes from one row to the next.
    size_t stride() const { return m_stride; }
    /// All rows, stride() bytes each, row 0 first; null for an empty raster.
    uint8_t* bits() { return m_pixels.get(); }
    const uint8_t* bits() const { return m_pixels.get(); }
    /// Row y (0 <= y < height): pixel x at offset 3x as blue, green, red.
    uint8_t* row(int y) { return m_pixels.get() + static_cast<size_t>(y) * m_stride; }
    const uint8_t* row(int y) const { return m_pixels.get() + static_cast<size_t>(y) * m_stride; }
    Rect bounds() const { return {0, 0, m_width, m_height}; }

    /// Changes the size keeping the old pixels at the top-left. Added pixels take the brush
    /// colour, or black when the brush is clear. Throws as checkRasterSize, leaving the raster
    /// as it was.
    void setSize(int width, int height);
    void setWidth(int width) { setSize(width, m_height); }
    void setHeight(int height) { setSize(m_width, height); }

    /// The colour of pixel (x, y). Throws Error(BadArgument) outside the raster.
    Color pixel(int x, int y) const;
    /// Writes pixel (x, y); a position outside the raster is ignored.
    void setPixel(int x, int y, Color color);
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

    /// Makes this raster an independent copy of another: size, pixels and drawing surface.
    void assign(const Raster& other) { *this = other; }

    /// Equal size and pixels (the drawing surface is not compared).
    bool samePixels(const Raster& other) const;

    Color brushColor() const { return m_brushColor; }
    /// Sets the brush colour; the brush becomes solid.
    void setBrushColor(Color color);
    BrushStyle brushStyle() const { return m_brushStyle; }
    void setBrushStyle(BrushStyle style) { m_brushStyle = style; }
    CopyMode copyMode() const { return m_copyMode; }
    void setCopyMode(CopyMode mode) { m_copyMode = mode; }
    const Font& font() const { return m_font; }
    Font& font() { return m_font; }
    void setFont(const Font& font) { m_font = font; }

    /// Fills the rectangle (clipped to the raster) with the brush colour; nothing with a clear
    /// brush.
    void fillRect(const Rect& rect);

    /// Copies the source rectangle of a raster (this one included, overlapping allowed) onto the
    /// destination rectangle, combining with the copy mode. Rectangles of different sizes
    /// stretch by nearest neighbour: destination index i reads source index
    /// floor(i * sourceLength / destinationLength). Pixels whose source or destination lies
    /// outside its raster are left alone; empty or inverted rectangles copy nothing.
    void copyRect(const Rect& dest, const Raster& source, const Rect& sourceRect);
    /// Copies a whole picture with its top-left corner at (x, y), with the copy mode.
    void draw(int x, int y, const Raster& picture);
    /// Scales a whole picture into the rectangle, with the copy mode.
    void stretchDraw(const Rect& dest, const Raster& picture);

    /// Fills with the brush colour the 4-connected area around (x, y) whose pixels have exactly
    /// the given colour (the surface fill). Nothing happens when (x, y) lies outside, is of
    /// another colour, or the brush is clear.
    void floodFill(int x, int y, Color surface);

private:
    // Gives the rows back: a block of photo size is kept for the next picture (raster.cpp).
    struct ReleasePixels {
        size_t capacity;  // no default initialiser: it is default-constructed inside Raster
        void operator()(uint8_t* pixels) const noexcept;
    };

    void allocate(int width, int height);
    void fillRows(int fromRow, Color color);

    int m_width = 0;
    int m_height = 0;
    size_t m_stride = 0;
    std::unique_ptr<uint8_t[], ReleasePixels> m_pixels;

    Color m_brushColor = kWhite;
    BrushStyle m_brushStyle = BrushStyle::Solid;
    CopyMode m_copyMode = CopyMode::SrcCopy;
    Font m_font;
};

/// Fills count pixels starting at p with one colour.
void fillPixels(uint8_t* p, size_t count, Color color);

/// Asks the system to back the 2 MiB-aligned inside of a large block with huge pages, so that
/// its first touch costs a few page faults instead of thousands. Only advice: call it before
/// the block is first written; it never fails.
void adviseHugePages(void* block, size_t bytes);

}  // namespace lumavex
