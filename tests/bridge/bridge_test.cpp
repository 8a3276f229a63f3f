#include <QFontInfo>
#include <QPainter>

#include <gtest/gtest.h>

#include "bridge/fonts.h"
#include "bridge/qimage_bridge.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

TEST(Fonts, WindowsJapaneseNamesResolveToTheIpaFonts)
{
    ASSERT_TRUE(installFonts());
    QFont gothic(QStringLiteral("ＭＳ Ｐゴシック"));
    gothic.setPixelSize(12);
    EXPECT_EQ(QFontInfo(gothic).family(), QStringLiteral("IPAPGothic"));
    QFont mincho(QStringLiteral("ＭＳ Ｐ明朝"));
    EXPECT_EQ(QFontInfo(mincho).family(), QStringLiteral("IPAPMincho"));
}

TEST(QImageBridge, WrappedRasterIsDrawnIntoWithoutCopying)
{
    Raster r(5, 3, kBlack);
    QImage image = wrapRaster(r);
    ASSERT_EQ(image.constBits(), r.bits());
    QPainter painter(&image);
    painter.fillRect(1, 1, 2, 1, QColor(255, 0, 0));
    painter.end();
    EXPECT_EQ(r.pixel(1, 1), makeColor(255, 0, 0));
    EXPECT_EQ(r.pixel(3, 1), kBlack);
    EXPECT_EQ(r.row(1)[3 * 5], 0);  // the row padding is untouched
}

TEST(QImageBridge, RoundTripKeepsEveryPixel)
{
    const Raster picture = test::makeGradient(7, 4);
    const QImage image = imageFromRaster(picture);
    EXPECT_EQ(image.pixelColor(2, 1),
              QColor(redOf(picture.pixel(2, 1)), greenOf(picture.pixel(2, 1)),
                     blueOf(picture.pixel(2, 1))));
    EXPECT_TRUE(rasterFromImage(image).samePixels(picture));
}

}  // namespace
}  // namespace lumavex
