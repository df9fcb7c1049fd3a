#include <gtest/gtest.h>

#include <QLabel>

#include "qtscrolldial.h"
#include "qtsvgdial.h"

namespace {

template <typename Dial>
QString labelFor(int value) {
  Dial dial;
  dial.setRange(-400, 400);
  dial.setValue(value);
  return dial.template findChild<QLabel*>()->text();
}

TEST(SvgDialLabel, ShowsTenthsAsDecimals) {
  EXPECT_EQ(labelFor<QtSVGDial>(123), "12.3");
  EXPECT_EQ(labelFor<QtSVGDial>(-400), "-40");
  EXPECT_EQ(labelFor<QtSVGDial>(5), "0.5");
  EXPECT_EQ(labelFor<QtSVGDial>(-1), "-0.1");
}

TEST(ScrollDialLabel, ShowsTheValueItself) {
  EXPECT_EQ(labelFor<QtScrollDial>(123), "123");
  EXPECT_EQ(labelFor<QtScrollDial>(-400), "-400");
}

TEST(DialLabel, ReadsZeroUntilTheFirstChange) {
  QtSVGDial dial;
  dial.setRange(-400, 400);
  EXPECT_EQ(dial.findChild<QLabel*>()->text(), "0");
  dial.setValue(10);
  dial.setValue(0);
  EXPECT_EQ(dial.findChild<QLabel*>()->text(), "0");
}

}  // namespace
