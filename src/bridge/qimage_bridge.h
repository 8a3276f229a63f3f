#pragma once

#include <QImage>

class QPainter;
class QRect;

#include "core/raster.h"

namespace lumavex {

/// A QImage that draws straight into the raster's rows (no copy). It stays valid while the
/// raster keeps its size.
QImage wrapRaster(Raster& raster);

/// A read-only QImage over the raster's rows (no copy), for drawing it. It stays valid while the
/// raster keeps its size.
QImage viewRaster(const Raster& raster);

/// A copy of any QImage as a raster (alpha is dropped; pixels are taken as they are stored).
Raster rasterFromImage(const QImage& image);

/// A deep copy of the raster as an RGB888-compatible QImage.
QImage imageFromRaster(const Raster& raster);

/// Draws the raster with its top-left corner at (0, 0), each pixel scale x scale device pixels
/// (blocks when enlarged, smoothed when reduced), only as far as it covers the area.
void paintRaster(QPainter& painter, const Raster& raster, double scale, const QRect& area);

}  // namespace lumavex
