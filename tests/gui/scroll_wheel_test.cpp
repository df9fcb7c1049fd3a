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
    wheel.resize(80, 200);
  }
  void TearDown() override {
    QApplication::setWheelScrollLines(savedLines);
    QApplication::setStartDragDistance(savedDistance);
  }

  void press(int y) { sendMouse(wheel, QEvent::MouseButtonPress, QPoint(40, y), Qt::LeftButton, Qt::LeftButton); }
  void dragTo(int y) { sendMouse(wheel, QEvent::MouseMove, QPoint(40, y), Qt::NoButton, Qt::LeftButton); }

  QtScrollWheel wheel;
  int savedLines = 0;
  int savedDistance = 0;
};

TEST_F(ScrollWheel, HasAFixedNaturalSize) {
  EXPECT_EQ(wheel.sizeHint(), QSize(80, 200));
  EXPECT_EQ(wheel.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
  EXPECT_EQ(wheel.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

TEST_F(ScrollWheel, ANotchUpPassesTheLastLinesAndTurnsOneFrame) {
  wheel.setValue(98);
  QSignalSpy changes(&wheel, &QAbstractSlider::valueChanged);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(wheel.value(), 99);
  EXPECT_EQ(wheel.currentFrame(), 1);
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(ScrollWheel, ANotchDownMovesByTheScrollLinesAndTurnsBack) {
  wheel.setValue(50);
  sendWheel(wheel, -kNotch);
  EXPECT_EQ(wheel.value(), 47);
  EXPECT_EQ(wheel.currentFrame(), 2);
}

TEST_F(ScrollWheel, AtEitherEndAStepOutwardsChangesNothing) {
  wheel.setValue(99);
  QSignalSpy changes(&wheel, &QAbstractSlider::valueChanged);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(wheel.value(), 99);
  EXPECT_EQ(wheel.currentFrame(), 0);

  wheel.setValue(0);
  changes.clear();
  sendWheel(wheel, -kNotch);
  EXPECT_EQ(wheel.value(), 0);
  EXPECT_EQ(wheel.currentFrame(), 0);
  EXPECT_EQ(changes.count(), 0);
}

TEST_F(ScrollWheel, FramesCycleForwardsUpAndBackwardsDown) {
  wheel.setValue(50);
  const int up[] = {1, 2, 0, 1};
  for (int expected : up) {
    sendWheel(wheel, kNotch);
    EXPECT_EQ(wheel.currentFrame(), expected);
  }
  const int down[] = {0, 2, 1};
  for (int expected : down) {
    sendWheel(wheel, -kNotch);
    EXPECT_EQ(wheel.currentFrame(), expected);
  }
}

TEST_F(ScrollWheel, AHorizontalScrollIsLeftToTheParent) {
  wheel.setValue(50);
  EXPECT_FALSE(sendWheel(wheel, 0));
  EXPECT_EQ(wheel.value(), 50);
  EXPECT_EQ(wheel.currentFrame(), 0);
}

TEST_F(ScrollWheel, SmallDragsAddUpUntilTheyPassTheDragDistance) {
  wheel.setValue(50);
  press(100);
  dragTo(97);  // 3 pixels: within the drag distance of 4
  EXPECT_EQ(wheel.value(), 50);
  dragTo(95);  // 5 pixels since the press
  EXPECT_EQ(wheel.value(), 51);
  EXPECT_EQ(wheel.currentFrame(), 1);
  dragTo(92);  // 3 pixels since the last step
  EXPECT_EQ(wheel.value(), 51);
}

TEST_F(ScrollWheel, DraggingUpIncreasesAndDownDecreasesOneStepPerMove) {
  wheel.setValue(50);
  press(100);
  dragTo(60);  // far beyond the threshold, still one step
  EXPECT_EQ(wheel.value(), 51);
  dragTo(90);
  EXPECT_EQ(wheel.value(), 50);
  dragTo(120);
  EXPECT_EQ(wheel.value(), 49);
}

TEST_F(ScrollWheel, PaintsTheCurrentFrameStretchedOverTheWidget) {
  wheel.setSkin(gui_test::kFlatSkin);
  wheel.setValue(50);
  EXPECT_EQ(gui_test::pixel(wheel, QPoint(0, 0)), gui_test::kWheelFrames[0]);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(gui_test::pixel(wheel, QPoint(79, 199)), gui_test::kWheelFrames[1]);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(gui_test::pixel(wheel, QPoint(40, 100)), gui_test::kWheelFrames[2]);
}

TEST_F(ScrollWheel, WithoutSkinFilesItPaintsNothingButStillSteps) {
  wheel.setSkin(gui_test::kMissingSkin);
  EXPECT_EQ(wheel.skin(), gui_test::kMissingSkin);
  wheel.setValue(10);
  QSignalSpy changes(&wheel, &QAbstractSlider::valueChanged);
  sendWheel(wheel, kNotch);
  EXPECT_EQ(wheel.value(), 13);
  EXPECT_EQ(changes.count(), 1);
  const QColor corner = gui_test::pixel(wheel, QPoint(0, 0));
  for (const QColor& frame : gui_test::kWheelFrames) EXPECT_NE(corner, frame);
}

}  // namespace
