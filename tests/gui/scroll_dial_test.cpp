#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>

#include "gui_test_support.h"
#include "qtscrolldial.h"
#include "qtscrollwheel.h"
#include "scrolldialpopup.h"

namespace {

using gui_test::sendMouse;

class ScrollDial : public ::testing::Test {
 protected:
  void SetUp() override {
    dial.setFixedSize(60, 80);
    dial.setRange(0, 127);
    popup = dial.findChild<ScrollDialPopup*>();
    ASSERT_NE(popup, nullptr);
    screen = dial.screen()->geometry();
  }

  // Shows the dial as a window whose top-left corner is at the given screen position.
  void showAt(QPoint topLeft) {
    dial.move(topLeft);
    dial.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dial));
    origin = dial.mapToGlobal(QPoint(0, 0));
  }

  QtScrollDial dial;
  ScrollDialPopup* popup = nullptr;
  QRect screen;
  QPoint origin;
};

TEST_F(ScrollDial, ThePopupOpensRightOfTheDialAndAbove) {
  showAt(QPoint(100, 200));
  EXPECT_EQ(dial.popupPosition(), origin + QPoint(59, -15));
}

TEST_F(ScrollDial, AtTheRightEdgeThePopupMovesToTheLeftSide) {
  showAt(QPoint(screen.right() - 100, 200));
  const int popupWidth = popup->sizeHint().width();
  ASSERT_GT(origin.x() + 59 + popupWidth, screen.right());
  EXPECT_EQ(dial.popupPosition(), QPoint(origin.x() + 59 - 60 - popupWidth, origin.y() - 15));
}

TEST_F(ScrollDial, AtTheTopAndBottomEdgesThePopupStaysOnTheScreen) {
  showAt(QPoint(100, screen.top() + 5));
  EXPECT_EQ(dial.popupPosition().y(), screen.top());
  showAt(QPoint(100, screen.bottom() - 100));
  EXPECT_EQ(dial.popupPosition().y(), screen.bottom() - popup->sizeHint().height());
}

TEST_F(ScrollDial, ADoubleClickOpensThePopupWithTheDialsRangeAndValue) {
  dial.setValue(96);
  showAt(QPoint(100, 150));
  EXPECT_TRUE(sendMouse(dial, QEvent::MouseButtonDblClick, QPoint(30, 40), Qt::LeftButton, Qt::LeftButton));
  ASSERT_TRUE(popup->isVisible());
  const auto* wheel = popup->findChild<QtScrollWheel*>();
  EXPECT_EQ(wheel->minimum(), 0);
  EXPECT_EQ(wheel->maximum(), 127);
  EXPECT_EQ(wheel->value(), 96);
  // The offscreen platform gives every window, pop-ups too, a frame of 2 pixels.
  EXPECT_LE((popup->pos() - dial.popupPosition()).manhattanLength(), 4);
  popup->hide();
}

TEST_F(ScrollDial, OtherDoubleClicksDoNotOpenIt) {
  showAt(QPoint(100, 150));
  EXPECT_FALSE(sendMouse(dial, QEvent::MouseButtonDblClick, QPoint(30, 40), Qt::RightButton, Qt::RightButton));
  EXPECT_FALSE(popup->isVisible());
}

TEST_F(ScrollDial, TheFaceStaysLitWhileThePopupIsOpen) {
  dial.setSkin(gui_test::kFlatSkin);
  showAt(QPoint(100, 150));
  EXPECT_EQ(gui_test::pixel(dial, QPoint(1, 1)), gui_test::kFace);
  dial.showPopup();
  ASSERT_FALSE(dial.underMouse());
  EXPECT_EQ(gui_test::pixel(dial, QPoint(1, 1)), gui_test::kHoverFace);
  popup->hide();
  EXPECT_EQ(gui_test::pixel(dial, QPoint(1, 1)), gui_test::kFace);
}

}  // namespace
