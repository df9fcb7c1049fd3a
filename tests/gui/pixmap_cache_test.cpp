#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "gui_test_support.h"
#include "qtsvgpixmapcache.h"

namespace {

const QString kFrame = ":/scrollwheel/Flat/wheel_1.svg";

QImage blank() {
  QImage image(120, 120, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// Renders at each of the sizes in turn; returns how many rasterisations that took.
int rasterisationsFor(std::initializer_list<QSizeF> sizes) {
  QtSvgPixmapCache cache(kFrame);
  QImage image = blank();
  QPainter painter(&image);
  for (const QSizeF& size : sizes) cache.render(&painter, QRectF(QPointF(3, 3), size));
  return cache.rasterisationCount();
}

TEST(SvgPixmapCache, RasterisesOncePerRoundedSizeAndKeepsOnlyTheLast) {
  EXPECT_EQ(rasterisationsFor({{40, 40}, {40, 40}}), 1);
  EXPECT_EQ(rasterisationsFor({{100.4, 50.6}, {100.0, 51.0}}), 1);
  EXPECT_EQ(rasterisationsFor({{10, 10}, {20, 20}, {10, 10}}), 3);
  EXPECT_EQ(rasterisationsFor({{0.3, 40}}), 0);  // an empty target
}

TEST(SvgPixmapCache, DrawsStretchedOverTheBoundsFromTheirTopLeft) {
  QtSvgPixmapCache cache(kFrame);
  QImage image = blank();
  QPainter painter(&image);
  cache.render(&painter, QRectF(10, 20, 30, 40));
  painter.end();
  EXPECT_EQ(image.pixelColor(10, 20), gui_test::kWheelFrames[0]);
  EXPECT_EQ(image.pixelColor(39, 59), gui_test::kWheelFrames[0]);
  EXPECT_EQ(image.pixelColor(9, 20).alpha(), 0);
  EXPECT_EQ(image.pixelColor(40, 60).alpha(), 0);
}

TEST(SvgPixmapCache, LoadDropsTheRenderingAndAMissingFileMakesRenderANoOp) {
  QtSvgPixmapCache cache;
  QImage image = blank();
  QPainter painter(&image);
  cache.render(&painter, QRectF(0, 0, 10, 10));  // before any load
  EXPECT_EQ(cache.rasterisationCount(), 0);

  cache.load(kFrame);
  cache.render(&painter, QRectF(0, 0, 10, 10));
  cache.load(":/scrollwheel/Flat/wheel_2.svg");
  cache.render(&painter, QRectF(0, 0, 10, 10));
  EXPECT_EQ(cache.rasterisationCount(), 2);

  cache.load(":/scrollwheel/Nowhere/wheel_1.svg");
  EXPECT_FALSE(cache.isValid());
  cache.render(&painter, QRectF(50, 50, 10, 10));
  painter.end();
  EXPECT_EQ(cache.rasterisationCount(), 2);
  EXPECT_EQ(image.pixelColor(5, 5), gui_test::kWheelFrames[1]);
  EXPECT_EQ(image.pixelColor(55, 55).alpha(), 0);
}

}  // namespace
