#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>

#include "gui_test_support.h"
#include "qtscrollwheel.h"

namespace {

using gui_test::sendMouse;
using gui_test::sendWheel;

constexpr int kNotch = 120;

class ScrollWheel : public ::testing::Test {
 protected:
  void SetUp() override {
    savedLines = QApplication::wheelScrollLines();
    savedDistance = QApplication::startDragDistance();
    QApplication::setWheelScrollLines(3);
    QApplication::setStartDragDistance(4);
    wheel.setRange(0, 99);
    wheel.setValue(50);
    wheel.resize(80, 200);
  }
  void TearDown() override {
    QApplication::setWheelScrollLines(savedLines);
    QApplication::setStartDragDistance(savedDistance);
  }

  void press(int y) { sendMouse(wheel, QEvent::MouseButtonPress, {40, y}, Qt::LeftButton, Qt::LeftButton); }
  void dragTo(int y) { sendMouse(wheel, QEvent::MouseMove, {40, y}, Qt::NoButton, Qt::LeftButton); }

  QtScrollWheel wheel;
  int savedLines = 0;
  int savedDistance = 0;
};

TEST_F(ScrollWheel, ANotchMovesByTheScrollLinesAndTurnsOneFrame) {
  wheel.setValue(98);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(wheel.value(), 99);  // clamped, still one frame on
  EXPECT_EQ(wheel.currentFrame(), 1);
  sendWheel(wheel, -kNotch);
  sendWheel(wheel, -kNotch);
  EXPECT_EQ(wheel.value(), 93);
  EXPECT_EQ(wheel.currentFrame(), 2);
  EXPECT_FALSE(sendWheel(wheel, 0));  // a horizontal scroll is left to the parent
  EXPECT_EQ(wheel.value(), 93);
}

TEST_F(ScrollWheel, AtEitherEndAStepOutwardsChangesNothing) {
  QSignalSpy changes(&wheel, &QAbstractSlider::valueChanged);
  wheel.setValue(99);
  sendWheel(wheel, kNotch);
  wheel.setValue(0);
  sendWheel(wheel, -kNotch);
  EXPECT_EQ(wheel.value(), 0);
  EXPECT_EQ(wheel.currentFrame(), 0);
  EXPECT_EQ(changes.count(), 2);  // the two setValue calls only
}

TEST_F(ScrollWheel, FramesCycleForwardsUpAndBackwardsDown) {
  for (int expected : {1, 2, 0, 1}) {
    sendWheel(wheel, kNotch);
    EXPECT_EQ(wheel.currentFrame(), expected);
  }
  for (int expected : {0, 2, 1}) {
    sendWheel(wheel, -kNotch);
    EXPECT_EQ(wheel.currentFrame(), expected);
  }
}

TEST_F(ScrollWheel, SmallDragsAddUpUntilTheyPassTheDragDistance) {
  press(100);
  dragTo(97);  // 3 pixels: within the drag distance of 4
  EXPECT_EQ(wheel.value(), 50);
  dragTo(95);  // 5 pixels since the press
  EXPECT_EQ(wheel.value(), 51);
  dragTo(92);  // 3 pixels since the last step
  EXPECT_EQ(wheel.value(), 51);
}

TEST_F(ScrollWheel, DraggingUpIncreasesAndDownDecreasesOneStepPerMove) {
  press(100);
  dragTo(60);
  EXPECT_EQ(wheel.value(), 51);
  dragTo(90);
  dragTo(120);
  EXPECT_EQ(wheel.value(), 49);
}

TEST_F(ScrollWheel, PaintsTheCurrentFrameStretchedOverTheWidget) {
  wheel.setSkin(gui_test::kFlatSkin);
  EXPECT_EQ(gui_test::pixel(wheel, {0, 0}), gui_test::kWheelFrames[0]);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(gui_test::pixel(wheel, {79, 199}), gui_test::kWheelFrames[1]);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(gui_test::pixel(wheel, {40, 100}), gui_test::kWheelFrames[2]);
}

TEST_F(ScrollWheel, WithoutSkinFilesItPaintsNothingButStillSteps) {
  wheel.setSkin(gui_test::kMissingSkin);
  QSignalSpy changes(&wheel, &QAbstractSlider::valueChanged);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(wheel.value(), 53);
  EXPECT_EQ(changes.count(), 1);
  const QColor corner = gui_test::pixel(wheel, {0, 0});
  for (const QColor& frame : gui_test::kWheelFrames) EXPECT_NE(corner, frame);
}

}  // namespace
