#include <gtest/gtest.h>

#include <QSignalSpy>

#include "gui_test_support.h"
#include "qtbasicdialgauge.h"

namespace {

TEST(BasicDialGauge, StartsAtZeroInZeroToHundredWithAFixedFiftyPixelSize) {
  QtBasicDialGauge gauge;
  EXPECT_EQ(gauge.value(), 0);
  EXPECT_EQ(gauge.minimum(), 0);
  EXPECT_EQ(gauge.maximum(), 100);
  EXPECT_EQ(gauge.sizeHint(), QSize(50, 50));
  EXPECT_EQ(gauge.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
  EXPECT_EQ(gauge.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

TEST(BasicDialGauge, DropsValuesOutsideTheRangeSilently) {
  QtBasicDialGauge gauge;
  gauge.setValue(40);
  QSignalSpy changes(&gauge, &QtBasicDialGauge::valueChanged);
  gauge.setValue(150);
  gauge.setValue(-1);
  EXPECT_EQ(gauge.value(), 40);
  EXPECT_EQ(changes.count(), 0);
  gauge.setValue(100);
  EXPECT_EQ(gauge.value(), 100);
}

TEST(BasicDialGauge, EmitsOnEverySetValueEvenWhenUnchanged) {
  QtBasicDialGauge gauge;
  QSignalSpy changes(&gauge, &QtBasicDialGauge::valueChanged);
  gauge.setValue(7);
  gauge.setValue(7);
  ASSERT_EQ(changes.count(), 2);
  EXPECT_EQ(changes.at(1).at(0).toInt(), 7);
}

TEST(BasicDialGauge, SetRangeIgnoresEmptyAndReversedRanges) {
  QtBasicDialGauge gauge;
  gauge.setRange(10, 10);
  gauge.setRange(20, 10);
  EXPECT_EQ(gauge.minimum(), 0);
  EXPECT_EQ(gauge.maximum(), 100);
  gauge.setRange(-400, 400);
  EXPECT_EQ(gauge.minimum(), -400);
  EXPECT_EQ(gauge.maximum(), 400);
}

TEST(BasicDialGauge, OneEndPushesTheOtherAndTheValueIsNotReclamped) {
  QtBasicDialGauge gauge;
  gauge.setValue(50);
  gauge.setMinimum(200);
  EXPECT_EQ(gauge.minimum(), 200);
  EXPECT_EQ(gauge.maximum(), 200);
  EXPECT_EQ(gauge.value(), 50);
  gauge.setMaximum(-5);
  EXPECT_EQ(gauge.minimum(), -5);
  EXPECT_EQ(gauge.maximum(), -5);
}

TEST(BasicDialGauge, NeedleSweeps270DegreesCounterClockwiseFromLowerLeft) {
  QtBasicDialGauge gauge;
  gauge.setRange(-400, 400);
  gauge.setValue(-400);
  EXPECT_DOUBLE_EQ(*gauge.needleDegrees(), 225.0);
  gauge.setValue(0);
  EXPECT_DOUBLE_EQ(*gauge.needleDegrees(), 90.0);
  gauge.setValue(400);
  EXPECT_DOUBLE_EQ(*gauge.needleDegrees(), -45.0);
}

TEST(BasicDialGauge, NeedleOfTheWidestRangeDoesNotOverflow) {
  QtBasicDialGauge gauge;
  gauge.setRange(INT_MIN, INT_MAX);
  gauge.setValue(INT_MAX);
  EXPECT_DOUBLE_EQ(*gauge.needleDegrees(), -45.0);
}

// On black, so that the white arc and needle stand out.
QImage paintedOnBlack(QtBasicDialGauge& gauge) {
  gauge.resize(50, 50);
  gauge.setAutoFillBackground(true);
  QPalette palette = gauge.palette();
  palette.setColor(QPalette::Window, Qt::black);
  gauge.setPalette(palette);
  return gui_test::rendered(gauge);
}

bool isWhite(const QImage& image, int x, int y) { return image.pixelColor(x, y).lightness() > 200; }

TEST(BasicDialGauge, PaintsTheNeedleFromTheCentreTowardsTheValue) {
  QtBasicDialGauge gauge;
  gauge.setRange(-400, 400);
  gauge.setValue(0);
  QImage image = paintedOnBlack(gauge);
  EXPECT_TRUE(isWhite(image, 25, 25));  // the centre
  EXPECT_TRUE(isWhite(image, 25, 15));  // straight up
  EXPECT_FALSE(isWhite(image, 25, 35));  // straight down: the gap in the arc

  gauge.setValue(-400);
  image = paintedOnBlack(gauge);
  EXPECT_TRUE(isWhite(image, 18, 32));  // lower left, along 225 degrees
  EXPECT_FALSE(isWhite(image, 25, 15));
}

TEST(BasicDialGauge, DrawsTheArcButNoNeedleWhenTheRangeIsEmpty) {
  QtBasicDialGauge gauge;
  gauge.setMaximum(0);  // minimum 0 as well
  EXPECT_FALSE(gauge.needleDegrees().has_value());
  const QImage image = paintedOnBlack(gauge);
  EXPECT_FALSE(isWhite(image, 25, 25));
  EXPECT_TRUE(isWhite(image, 25, 6));  // the top of the arc
}

}  // namespace
