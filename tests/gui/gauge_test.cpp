#include <gtest/gtest.h>

#include <QSignalSpy>
#include <climits>

#include "gui_test_support.h"
#include "qtbasicdialgauge.h"

namespace {

TEST(BasicDialGauge, DropsValuesOutsideTheRangeAndEmitsForEveryOtherOne) {
  QtBasicDialGauge gauge;
  QSignalSpy changes(&gauge, &QtBasicDialGauge::valueChanged);
  gauge.setValue(150);
  gauge.setValue(-1);
  EXPECT_EQ(gauge.value(), 0);
  EXPECT_EQ(changes.count(), 0);
  gauge.setValue(7);
  gauge.setValue(7);
  EXPECT_EQ(changes.count(), 2);
}

TEST(BasicDialGauge, RangeRules) {
  QtBasicDialGauge gauge;
  gauge.setValue(50);
  gauge.setRange(10, 10);
  gauge.setRange(20, 10);
  EXPECT_EQ(gauge.minimum(), 0);
  EXPECT_EQ(gauge.maximum(), 100);
  gauge.setMinimum(200);  // pushes the maximum along; the value is not re-clamped
  EXPECT_EQ(gauge.maximum(), 200);
  EXPECT_EQ(gauge.value(), 50);
  gauge.setMaximum(-5);
  EXPECT_EQ(gauge.minimum(), -5);
}

TEST(BasicDialGauge, NeedleSweeps270DegreesCounterClockwiseFromLowerLeft) {
  QtBasicDialGauge gauge;
  gauge.setRange(-400, 400);
  const std::pair<int, double> cases[] = {{-400, 225.0}, {0, 90.0}, {400, -45.0}};
  for (const auto& [value, degrees] : cases) {
    gauge.setValue(value);
    EXPECT_DOUBLE_EQ(*gauge.needleDegrees(), degrees) << value;
  }
  gauge.setRange(INT_MIN, INT_MAX);  // value - minimum exceeds int
  gauge.setValue(INT_MAX);
  EXPECT_DOUBLE_EQ(*gauge.needleDegrees(), -45.0);
}

bool isWhiteAt(QtBasicDialGauge& gauge, int x, int y) {
  gauge.resize(50, 50);
  gauge.setAutoFillBackground(true);
  QPalette palette = gauge.palette();
  palette.setColor(QPalette::Window, Qt::black);
  gauge.setPalette(palette);
  return gui_test::pixel(gauge, QPoint(x, y)).lightness() > 200;
}

TEST(BasicDialGauge, PaintsTheNeedleFromTheCentreTowardsTheValue) {
  QtBasicDialGauge gauge;
  gauge.setRange(-400, 400);
  EXPECT_TRUE(isWhiteAt(gauge, 25, 15));   // 0: straight up
  EXPECT_FALSE(isWhiteAt(gauge, 25, 35));  // the gap in the arc
  gauge.setValue(-400);
  EXPECT_TRUE(isWhiteAt(gauge, 18, 32));  // along 225 degrees
  EXPECT_FALSE(isWhiteAt(gauge, 25, 15));
}

TEST(BasicDialGauge, DrawsTheArcButNoNeedleWhenTheRangeIsEmpty) {
  QtBasicDialGauge gauge;
  gauge.setMaximum(0);
  EXPECT_FALSE(gauge.needleDegrees().has_value());
  EXPECT_FALSE(isWhiteAt(gauge, 25, 25));
  EXPECT_TRUE(isWhiteAt(gauge, 25, 6));  // the top of the arc
}

}  // namespace
