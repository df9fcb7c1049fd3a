#include <gtest/gtest.h>

#include <QApplication>
#include <QBitmap>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>

#include "gui_test_support.h"
#include "qtbasicdialgauge.h"
#include "qtscrolldial.h"
#include "qtscrollwheel.h"
#include "scrolldialpopup.h"

namespace {

using gui_test::sendMouse;
using gui_test::sendWheel;

class ValuePopup : public ::testing::Test {
 protected:
  void SetUp() override {
    savedDistance = QApplication::startDragDistance();
    QApplication::setStartDragDistance(4);
    dial.setRange(0, 100);
    dial.setValue(70);
    popup = dial.findChild<ScrollDialPopup*>();
    ASSERT_NE(popup, nullptr);
    wheel = popup->findChild<QtScrollWheel*>();
    gauge = popup->findChild<QtBasicDialGauge*>();
    label = popup->findChild<QLabel*>();
    closeButton = popup->findChild<PopupCloseButton*>();
    ASSERT_TRUE(wheel && gauge && label && closeButton);
    popup->setRange(0, 100);
    popup->setValue(10);
  }
  void TearDown() override { QApplication::setStartDragDistance(savedDistance); }

  void showPopup() {
    popup->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
  }
  void dragWheelUp(int steps) {
    sendMouse(*wheel, QEvent::MouseButtonPress, QPoint(40, 150), Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= steps; ++i) {
      sendMouse(*wheel, QEvent::MouseMove, QPoint(40, 150 - 10 * i), Qt::NoButton, Qt::LeftButton);
    }
    sendMouse(*wheel, QEvent::MouseButtonRelease, QPoint(40, 150 - 10 * steps), Qt::LeftButton, Qt::NoButton);
  }

  QtScrollDial dial;
  ScrollDialPopup* popup = nullptr;
  QtScrollWheel* wheel = nullptr;
  QtBasicDialGauge* gauge = nullptr;
  QLabel* label = nullptr;
  PopupCloseButton* closeButton = nullptr;
  int savedDistance = 0;
};

TEST_F(ValuePopup, SetValueReachesWheelGaugeAndLabelClamped) {
  popup->setValue(250);
  EXPECT_EQ(wheel->value(), 100);
  EXPECT_EQ(gauge->value(), 100);
  EXPECT_EQ(label->text(), "100");
}

TEST_F(ValuePopup, TheCloseButtonHidesThePopupAndCommitsTheWheelsValue) {
  showPopup();
  dragWheelUp(3);
  EXPECT_EQ(label->text(), "13");
  EXPECT_EQ(gauge->value(), 13);
  EXPECT_EQ(dial.value(), 70);  // nothing reaches the dial before the click
  QTest::mouseClick(closeButton, Qt::LeftButton);
  EXPECT_FALSE(popup->isVisible());
  EXPECT_EQ(dial.value(), 13);
}

TEST_F(ValuePopup, HidingItAnyOtherWayKeepsTheDialsValue) {
  showPopup();
  dragWheelUp(2);
  popup->hide();
  EXPECT_EQ(dial.value(), 70);
}

TEST_F(ValuePopup, ScrollingAnywhereOverThePopupTurnsTheWheel) {
  // The gauge leaves wheel events alone, so Qt hands them to the pop-up, which passes them on.
  EXPECT_FALSE(sendWheel(*gauge, 120));
  EXPECT_EQ(wheel->value(), 10);
  sendWheel(*popup, 120, gauge->geometry().center());
  EXPECT_EQ(wheel->value(), 10 + QApplication::wheelScrollLines());
  EXPECT_EQ(label->text(), QString::number(wheel->value()));
}

TEST_F(ValuePopup, TheCloseButtonStaysSquareInTheTopRightCorner) {
  showPopup();
  popup->resize(200, 400);
  EXPECT_EQ(closeButton->geometry(), QRect(150, 0, 50, 50));
  popup->resize(160, 300);
  EXPECT_EQ(closeButton->geometry(), QRect(110, 0, 50, 50));
}

TEST_F(ValuePopup, TheLabelsFontIsTwoPointsLargerThanThePopups) {
  QFont font = popup->font();
  font.setPointSize(9);
  popup->setFont(font);
  popup->setSkin("Darov");
  EXPECT_EQ(label->styleSheet(),
            "font: 11pt;color: white; border-width: 2px;border-image: url(:/scrolldial/Darov/label.svg);");
  font.setPixelSize(20);  // no point size of its own
  popup->setFont(font);
  popup->setSkin("Darov");
  const QRegularExpressionMatch size = QRegularExpression("^font: (\\d+)pt;").match(label->styleSheet());
  ASSERT_TRUE(size.hasMatch()) << label->styleSheet().toStdString();
  EXPECT_GT(size.captured(1).toInt(), 2);
}

TEST_F(ValuePopup, TheWindowIsShapedLikeTheBackgroundPlusTheButton) {
  popup->setSkin(gui_test::kFlatSkin);
  showPopup();
  const QRegion shape = popup->mask();
  const int bottom = popup->height() - 1;
  EXPECT_TRUE(shape.contains(QPoint(70, 200)));                  // the background
  EXPECT_TRUE(shape.contains(QPoint(70, bottom)));               // down to the bottom edge
  EXPECT_TRUE(shape.contains(QPoint(popup->width() - 25, 25)));  // the button over the corner
  EXPECT_FALSE(shape.contains(QPoint(10, 200)));                 // left of the background's inset of 24
  EXPECT_FALSE(shape.contains(QPoint(40, 10)));                  // above it
  EXPECT_EQ(gui_test::pixel(*popup, QPoint(27, 200)), gui_test::kPopupBackground);  // beside the wheel
}

TEST_F(ValuePopup, WithoutSkinFilesItIsAPlainWindowThatStillCommits) {
  popup->setSkin(gui_test::kFlatSkin);
  showPopup();
  popup->setSkin(gui_test::kMissingSkin);  // the shape follows without a resize
  EXPECT_TRUE(popup->mask().isEmpty());
  dragWheelUp(1);
  QTest::mouseClick(closeButton, Qt::LeftButton);
  EXPECT_EQ(dial.value(), 11);
}

TEST(PopupCloseButton, ShowsItsPressedPictureWhileDown) {
  PopupCloseButton button;
  button.resize(50, 50);
  button.setSkin(gui_test::kFlatSkin);
  EXPECT_EQ(gui_test::pixel(button, QPoint(25, 25)), QColor(0xff, 0xff, 0x00));
  button.setDown(true);
  EXPECT_EQ(gui_test::pixel(button, QPoint(25, 25)), QColor(0xff, 0x00, 0xff));
}

}  // namespace
