#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "gui_test_support.h"
#include "qtsvgpixmapcache.h"

namespace {

const QString kFrame = ":/scrollwheel/Flat/wheel_1.svg";

QImage blank(int side = 120) {
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void renderInto(QtSvgPixmapCache& cache, QImage& image, const QRectF& bounds) {
  QPainter painter(&image);
  cache.render(&painter, bounds);
}

TEST(SvgPixmapCache, RenderBeforeAnyLoadDrawsNothing) {
  QtSvgPixmapCache cache;
  QImage image = blank();
  renderInto(cache, image, QRectF(0, 0, 50, 50));
  EXPECT_FALSE(cache.isValid());
  EXPECT_EQ(cache.rasterisationCount(), 0);
  EXPECT_EQ(image, blank());
}

TEST(SvgPixmapCache, LoadsTheDocumentWithItsNominalSize) {
  QtSvgPixmapCache cache(kFrame);
  EXPECT_TRUE(cache.isValid());
  EXPECT_EQ(cache.defaultSize(), QSize(55, 189));
  EXPECT_EQ(cache.parent(), nullptr);
}

TEST(SvgPixmapCache, DrawsStretchedOverTheBoundsFromTheirTopLeft) {
  QtSvgPixmapCache cache(kFrame);
  QImage image = blank();
  renderInto(cache, image, QRectF(10, 20, 30, 40));
  EXPECT_EQ(image.pixelColor(10, 20), gui_test::kWheelFrames[0]);
  EXPECT_EQ(image.pixelColor(39, 59), gui_test::kWheelFrames[0]);
  EXPECT_EQ(image.pixelColor(9, 20).alpha(), 0);
  EXPECT_EQ(image.pixelColor(40, 60).alpha(), 0);
}

TEST(SvgPixmapCache, RasterisesOncePerRoundedSize) {
  QtSvgPixmapCache cache(kFrame);
  QImage image = blank();
  renderInto(cache, image, QRectF(0, 0, 40, 40));
  renderInto(cache, image, QRectF(5, 5, 40, 40));
  EXPECT_EQ(cache.rasterisationCount(), 1);

  QtSvgPixmapCache rounded(kFrame);
  renderInto(rounded, image, QRectF(0, 0, 100.4, 50.6));
  renderInto(rounded, image, QRectF(0, 0, 100.0, 51.0));
  EXPECT_EQ(rounded.rasterisationCount(), 1);
}

TEST(SvgPixmapCache, KeepsOnlyTheLastSize) {
  QtSvgPixmapCache cache(kFrame);
  QImage image = blank();
  renderInto(cache, image, QRectF(0, 0, 10, 10));
  renderInto(cache, image, QRectF(0, 0, 20, 20));
  renderInto(cache, image, QRectF(0, 0, 10, 10));
  EXPECT_EQ(cache.rasterisationCount(), 3);
}

TEST(SvgPixmapCache, LoadDropsTheCachedRendering) {
  QtSvgPixmapCache cache(kFrame);
  QImage image = blank();
  renderInto(cache, image, QRectF(0, 0, 10, 10));
  cache.load(":/scrollwheel/Flat/wheel_2.svg");
  renderInto(cache, image, QRectF(0, 0, 10, 10));
  EXPECT_EQ(cache.rasterisationCount(), 2);
  EXPECT_EQ(image.pixelColor(5, 5), gui_test::kWheelFrames[1]);
}

TEST(SvgPixmapCache, LoadOfAMissingFileMakesItInvalidAndRenderANoOp) {
  QtSvgPixmapCache cache(kFrame);
  cache.load(":/scrollwheel/Nowhere/wheel_1.svg");
  EXPECT_FALSE(cache.isValid());
  QImage image = blank();
  renderInto(cache, image, QRectF(0, 0, 10, 10));
  EXPECT_EQ(cache.rasterisationCount(), 0);
  EXPECT_EQ(image, blank());
}

TEST(SvgPixmapCache, AnEmptyTargetIsNotRasterised) {
  QtSvgPixmapCache cache(kFrame);
  QImage image = blank();
  renderInto(cache, image, QRectF(0, 0, 0.3, 40));
  EXPECT_EQ(cache.rasterisationCount(), 0);
}

}  // namespace
