#include "qimage_bridge.h"

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

}  // namespace lumavex
