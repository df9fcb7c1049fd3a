#include "gui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>
#include <memory>

namespace gui_test {

namespace {

// One application for the whole executable, made before the first test and destroyed after the
// last, inside the test run rather than among the static destructors.
class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app = std::make_unique<QApplication>(argc, argv); }
  void TearDown() override { app.reset(); }

 private:
  int argc = 1;
  char name[16] = "gui_kit_tests";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> app;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QColor pixel(QWidget& widget, QPoint position) { return widget.grab().toImage().pixelColor(position); }

bool sendMouse(QWidget& widget, QEvent::Type type, QPoint position, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(position), QPointF(widget.mapToGlobal(position)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
  return event.isAccepted();
}

bool sendWheel(QWidget& widget, int angleDelta, QPoint position) {
  QWheelEvent event(QPointF(position), QPointF(widget.mapToGlobal(position)), QPoint(), QPoint(0, angleDelta),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&widget, &event);
  return event.isAccepted();
}

}  // namespace gui_test
