#include "qimage_bridge.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumavex {

QImage wrapRaster(Raster& raster)
{
    if (raster.empty())
        return QImage();
    return QImage(raster.bits(), raster.width(), raster.height(),
                  static_cast<qsizetype>(raster.stride()), QImage::Format_BGR888);
}

QImage viewRaster(const Raster& raster)
{
    if (raster.empty())
        return QImage();
    return QImage(raster.bits(), raster.width(), raster.height(),
                  static_cast<qsizetype>(raster.stride()), QImage::Format_BGR888);
}

Raster rasterFromImage(const QImage& image)
{
    if (image.isNull())
        return Raster();
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    Raster raster(bgr.width(), bgr.height());
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(raster.row(y), bgr.constScanLine(y), static_cast<size_t>(bgr.width()) * 3);
    return raster;
}

QImage imageFromRaster(const Raster& raster)
{
    if (raster.empty())
        return QImage();
    QImage image(raster.width(), raster.height(), QImage::Format_BGR888);
    for (int y = 0; y < raster.height(); ++y)
        std::memcpy(image.scanLine(y), raster.row(y), static_cast<size_t>(raster.width()) * 3);
    return image;
}

void paintRaster(QPainter& painter, const Raster& raster, double scale, const QRect& area)
{
    if (raster.empty() || !(scale > 0))
        return;
    const QImage view = viewRaster(raster);
    if (scale == 1.0) {
        const QRect part = area & view.rect();
        if (!part.isEmpty())
            painter.drawImage(part.topLeft(), view, part);
        return;
    }
    // Only the picture pixels under the area are scaled: a zoomed photo repaints a window's
    // worth, not the whole picture.
    const int left = std::max(0, static_cast<int>(std::floor(area.left() / scale)));
    const int top = std::max(0, static_cast<int>(std::floor(area.top() / scale)));
    const int right =
        std::min(raster.width(), static_cast<int>(std::ceil((area.right() + 1) / scale)));
    const int bottom =
        std::min(raster.height(), static_cast<int>(std::ceil((area.bottom() + 1) / scale)));
    if (right <= left || bottom <= top)
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1.0);
    painter.drawImage(
        QRectF(left * scale, top * scale, (right - left) * scale, (bottom - top) * scale), view,
        QRectF(left, top, right - left, bottom - top));
    painter.restore();
}

}  // namespace lumavex
