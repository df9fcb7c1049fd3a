// Behaviour the SVG dial and the scroll dial share: the pointer mapping, the mouse rules, the faces.
#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <cmath>

#include "dialcontrol.h"
#include "gui_test_support.h"
#include "qtbasicdialgauge.h"
#include "qtscrolldial.h"
#include "qtsvgdial.h"

namespace {

using gui_test::sendMouse;

// A 100 x 100 dial has its centre at (50, 50).
const QSize kSize(100, 100);
const QPoint kCentre(50, 50);

int gainDialValueAt(QPoint position) { return DialControl::valueAt(position, kSize, -400, 400); }

TEST(DialPointerMapping, SpreadsTheGainRangeOver300DegreesClockwise) {
  EXPECT_EQ(gainDialValueAt(kCentre), 240);  // angle 0, as due east
  EXPECT_EQ(gainDialValueAt(QPoint(90, 50)), 240);
  EXPECT_EQ(gainDialValueAt(QPoint(50, 10)), 0);
  EXPECT_EQ(gainDialValueAt(QPoint(10, 50)), -240);
  EXPECT_EQ(gainDialValueAt(QPoint(20, 80)), -360);  // 225 degrees: not the minimum
}

TEST(DialPointerMapping, TheDeadZoneBelowClampsToTheNearerEnd) {
  EXPECT_EQ(gainDialValueAt(QPoint(50, 90)), 400);  // -90 degrees: 480 before clamping
  EXPECT_EQ(gainDialValueAt(QPoint(49, 90)), -400);  // just under 270 degrees: about -479
}

TEST(DialPointerMapping, PositiveRangesAreNotShifted) {
  EXPECT_EQ(DialControl::valueAt(QPoint(50, 10), kSize, 0, 100), 50);
  EXPECT_EQ(DialControl::valueAt(QPoint(50, 10), kSize, 10, 20), 15);
  EXPECT_EQ(DialControl::valueAt(QPoint(10, 50), kSize, 0, 100), 20);
}

TEST(DialPointerMapping, TheWidestRangeDoesNotOverflow) {
  EXPECT_NEAR(DialControl::valueAt(QPoint(50, 10), kSize, INT_MIN, INT_MAX), 0, 1);
  EXPECT_EQ(DialControl::valueAt(QPoint(50, 90), kSize, INT_MIN, INT_MAX), INT_MAX);
  EXPECT_EQ(DialControl::valueAt(QPoint(49, 90), kSize, INT_MIN, INT_MAX), INT_MIN);
}

// Records the presses that reach it, to see what a dial passes on.
class PressRecorder : public QWidget {
 public:
  int presses = 0;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    ++presses;
    event->accept();
  }
};

template <typename Dial>
class SkinnedDial : public ::testing::Test {
 protected:
  void SetUp() override {
    dial.resize(kSize);
    dial.setRange(-400, 400);
  }

  Dial dial;
};

using DialTypes = ::testing::Types<QtSVGDial, QtScrollDial>;
TYPED_TEST_SUITE(SkinnedDial, DialTypes);

TYPED_TEST(SkinnedDial, PressDragAndReleaseSetTheValueFromThePointer) {
  auto& dial = this->dial;
  dial.setValue(100);
  QSignalSpy changes(&dial, &QAbstractSlider::valueChanged);
  EXPECT_TRUE(sendMouse(dial, QEvent::MouseButtonPress, QPoint(50, 10), Qt::LeftButton, Qt::LeftButton));
  EXPECT_EQ(dial.value(), 0);
  EXPECT_TRUE(dial.isSliderDown());
  EXPECT_TRUE(sendMouse(dial, QEvent::MouseMove, QPoint(10, 50), Qt::NoButton, Qt::LeftButton));
  EXPECT_EQ(dial.value(), -240);  // tracking: the value follows the drag
  EXPECT_TRUE(sendMouse(dial, QEvent::MouseButtonRelease, QPoint(90, 50), Qt::LeftButton, Qt::NoButton));
  EXPECT_EQ(dial.value(), 240);
  EXPECT_FALSE(dial.isSliderDown());
  EXPECT_EQ(changes.count(), 3);
}

TYPED_TEST(SkinnedDial, TheGaugeFollowsTheDialsValueAndRange) {
  auto& dial = this->dial;
  auto* gauge = dial.template findChild<QtBasicDialGauge*>();
  ASSERT_NE(gauge, nullptr);
  EXPECT_EQ(gauge->minimum(), -400);
  EXPECT_EQ(gauge->maximum(), 400);
  dial.setValue(-123);
  EXPECT_EQ(gauge->value(), -123);
}

TYPED_TEST(SkinnedDial, IgnoresOtherButtonsAndChords) {
  auto& dial = this->dial;
  dial.setValue(17);
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseButtonPress, QPoint(50, 10), Qt::RightButton, Qt::RightButton));
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseButtonPress, QPoint(50, 10), Qt::LeftButton,
                         Qt::LeftButton | Qt::RightButton));
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseMove, QPoint(50, 10), Qt::NoButton, Qt::RightButton));
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseButtonRelease, QPoint(50, 10), Qt::LeftButton, Qt::RightButton));
  EXPECT_EQ(dial.value(), 17);
  EXPECT_FALSE(dial.isSliderDown());
}

TYPED_TEST(SkinnedDial, AnEmptyRangePassesPressesOnToTheParent) {
  PressRecorder parent;
  auto* dial = new TypeParam(&parent);
  dial->resize(kSize);
  dial->setRange(5, 5);
  sendMouse(*dial, QEvent::MouseButtonPress, QPoint(50, 10), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(parent.presses, 1);
  EXPECT_FALSE(dial->isSliderDown());
}

TYPED_TEST(SkinnedDial, ThePointerOverTheDialLightsItsFace) {
  QWidget window;
  window.resize(300, 200);
  auto* dial = new TypeParam(&window);
  dial->setSkin(gui_test::kFlatSkin);
  dial->setGeometry(20, 20, 100, 100);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  EXPECT_EQ(gui_test::pixel(*dial, QPoint(1, 1)), gui_test::kFace);
  QTest::mouseMove(&window, QPoint(70, 70));
  EXPECT_TRUE(dial->underMouse());
  EXPECT_EQ(gui_test::pixel(*dial, QPoint(1, 1)), gui_test::kHoverFace);
  QTest::mouseMove(&window, QPoint(250, 150));
  EXPECT_FALSE(dial->underMouse());
  EXPECT_EQ(gui_test::pixel(*dial, QPoint(1, 1)), gui_test::kFace);
}

TYPED_TEST(SkinnedDial, TheFaceIsStretchedOverTheWholeDial) {
  auto& dial = this->dial;
  dial.setSkin(gui_test::kFlatSkin);
  dial.resize(120, 70);
  EXPECT_EQ(gui_test::pixel(dial, QPoint(0, 0)), gui_test::kFace);
  EXPECT_EQ(gui_test::pixel(dial, QPoint(119, 69)), gui_test::kFace);
}

TYPED_TEST(SkinnedDial, TheLabelTakesTheSkinsBorderImage) {
  auto& dial = this->dial;
  dial.setSkin("Darov");
  EXPECT_EQ(dial.skin(), "Darov");
  EXPECT_EQ(dial.property("skin").toString(), "Darov");
  EXPECT_EQ(dial.template findChild<QLabel*>()->styleSheet(),
            "color: white; border-width: 2px;border-image: url(:/scrolldial/Darov/label.svg);");
}

TYPED_TEST(SkinnedDial, ASkinWithoutFilesLeavesTheDialWorkingWithoutAFace) {
  auto& dial = this->dial;
  dial.setSkin(gui_test::kFlatSkin);
  dial.setSkin(gui_test::kMissingSkin);
  // The old skin's face is not kept: the corner shows the window behind, not the flat red.
  EXPECT_NE(gui_test::pixel(dial, QPoint(1, 1)), gui_test::kFace);
  sendMouse(dial, QEvent::MouseButtonPress, QPoint(10, 50), Qt::LeftButton, Qt::LeftButton);
  sendMouse(dial, QEvent::MouseButtonRelease, QPoint(10, 50), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(dial.value(), -240);
  EXPECT_NE(dial.template findChild<QLabel*>()->text(), "0");
}

}  // namespace
