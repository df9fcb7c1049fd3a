// Behaviour the SVG dial and the scroll dial share: the pointer mapping, the mouse rules, the faces.
#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <climits>

#include "dialcontrol.h"
#include "gui_test_support.h"
#include "qtbasicdialgauge.h"
#include "qtscrolldial.h"
#include "qtsvgdial.h"

namespace {

using gui_test::sendMouse;

// A 100 x 100 dial has its centre at (50, 50).
const QSize kSize(100, 100);

TEST(DialPointerMapping, SpreadsTheRangeOver300DegreesClockwiseOverTheTop) {
  struct Case {
    QPoint position;
    int value;
  };
  const Case gainCases[] = {
      {{50, 50}, 240},   // the centre: angle 0, as due east
      {{50, 10}, 0},     // straight up
      {{10, 50}, -240},  // due west
      {{20, 80}, -360},  // 225 degrees, where the gauge's minimum points: not the minimum
      {{50, 90}, 400},   // straight down: 480 before clamping
      {{49, 90}, -400},  // just left of it: about -479 before clamping
  };
  for (const Case& c : gainCases) EXPECT_EQ(DialControl::valueAt(c.position, kSize, -400, 400), c.value) << c.value;
  EXPECT_EQ(DialControl::valueAt({50, 10}, kSize, 10, 20), 15);  // a positive range is not shifted
}

TEST(DialPointerMapping, TheWidestRangeDoesNotOverflow) {
  EXPECT_NEAR(DialControl::valueAt({50, 10}, kSize, INT_MIN, INT_MAX), 0, 1);
  EXPECT_EQ(DialControl::valueAt({50, 90}, kSize, INT_MIN, INT_MAX), INT_MAX);
  EXPECT_EQ(DialControl::valueAt({49, 90}, kSize, INT_MIN, INT_MAX), INT_MIN);
}

// Records the presses that reach it, to see what a dial passes on.
class PressRecorder : public QWidget {
 public:
  int presses = 0;

 protected:
  void mousePressEvent(QMouseEvent*) override { ++presses; }
};

template <typename Dial>
class SkinnedDial : public ::testing::Test {
 protected:
  void SetUp() override {
    dial.resize(kSize);
    dial.setRange(-400, 400);
    dial.setValue(100);
  }

  Dial dial;
};

using DialTypes = ::testing::Types<QtSVGDial, QtScrollDial>;
TYPED_TEST_SUITE(SkinnedDial, DialTypes);

TYPED_TEST(SkinnedDial, PressDragAndReleaseSetTheValueAndTheGaugeFollows) {
  auto& dial = this->dial;
  auto* gauge = dial.template findChild<QtBasicDialGauge*>();
  QSignalSpy changes(&dial, &QAbstractSlider::valueChanged);
  EXPECT_TRUE(sendMouse(dial, QEvent::MouseButtonPress, {50, 10}, Qt::LeftButton, Qt::LeftButton));
  EXPECT_EQ(dial.value(), 0);
  EXPECT_TRUE(dial.isSliderDown());
  EXPECT_TRUE(sendMouse(dial, QEvent::MouseMove, {10, 50}, Qt::NoButton, Qt::LeftButton));
  EXPECT_EQ(gauge->value(), -240);  // tracking: the value follows the drag
  EXPECT_TRUE(sendMouse(dial, QEvent::MouseButtonRelease, {90, 50}, Qt::LeftButton, Qt::NoButton));
  EXPECT_EQ(dial.value(), 240);
  EXPECT_FALSE(dial.isSliderDown());
  EXPECT_EQ(changes.count(), 3);
  dial.setRange(-10, 300);
  EXPECT_EQ(gauge->minimum(), -10);
  EXPECT_EQ(gauge->maximum(), 300);
}

TYPED_TEST(SkinnedDial, IgnoresOtherButtonsChordsAndAnEmptyRange) {
  auto& dial = this->dial;
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseButtonPress, {50, 10}, Qt::RightButton, Qt::RightButton));
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseButtonPress, {50, 10}, Qt::LeftButton, Qt::LeftButton | Qt::RightButton));
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseMove, {50, 10}, Qt::NoButton, Qt::RightButton));
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseButtonRelease, {50, 10}, Qt::LeftButton, Qt::RightButton));
  EXPECT_EQ(dial.value(), 100);
  EXPECT_FALSE(dial.isSliderDown());

  PressRecorder parent;
  auto* fixed = new TypeParam(&parent);
  fixed->resize(kSize);
  fixed->setRange(5, 5);
  sendMouse(*fixed, QEvent::MouseButtonPress, {50, 10}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(parent.presses, 1);
}

TYPED_TEST(SkinnedDial, ThePointerOverTheDialLightsItsStretchedFace) {
  QWidget window;
  window.resize(300, 200);
  auto* dial = new TypeParam(&window);
  dial->setSkin(gui_test::kFlatSkin);
  dial->setGeometry(20, 20, 120, 70);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  EXPECT_EQ(gui_test::pixel(*dial, {0, 0}), gui_test::kFace);
  EXPECT_EQ(gui_test::pixel(*dial, {119, 69}), gui_test::kFace);
  QTest::mouseMove(&window, QPoint(70, 50));
  EXPECT_EQ(gui_test::pixel(*dial, {1, 1}), gui_test::kHoverFace);
  QTest::mouseMove(&window, QPoint(250, 150));
  EXPECT_EQ(gui_test::pixel(*dial, {1, 1}), gui_test::kFace);
}

TYPED_TEST(SkinnedDial, ASkinWithoutFilesLeavesTheDialWorkingWithoutAFace) {
  auto& dial = this->dial;
  dial.setSkin(gui_test::kFlatSkin);
  dial.setSkin(gui_test::kMissingSkin);
  EXPECT_NE(gui_test::pixel(dial, {1, 1}), gui_test::kFace);  // the old face is not kept
  sendMouse(dial, QEvent::MouseButtonPress, {10, 50}, Qt::LeftButton, Qt::LeftButton);
  sendMouse(dial, QEvent::MouseButtonRelease, {10, 50}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(dial.value(), -240);
  EXPECT_NE(dial.template findChild<QLabel*>()->text(), "0");
}

template <typename Dial>
QString labelFor(int value) {
  Dial dial;
  dial.setRange(-400, 400);
  dial.setValue(value);
  return dial.template findChild<QLabel*>()->text();
}

TEST(DialLabel, TheSvgDialShowsTenthsAndTheScrollDialTheValue) {
  EXPECT_EQ(labelFor<QtSVGDial>(123), "12.3");
  EXPECT_EQ(labelFor<QtSVGDial>(-400), "-40");
  EXPECT_EQ(labelFor<QtSVGDial>(5), "0.5");
  EXPECT_EQ(labelFor<QtSVGDial>(0), "0");
  EXPECT_EQ(labelFor<QtScrollDial>(123), "123");
  EXPECT_EQ(labelFor<QtScrollDial>(-400), "-400");
}

}  // namespace
