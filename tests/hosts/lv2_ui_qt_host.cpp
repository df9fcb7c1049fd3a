// A Qt 6 host of the plug-in's UI: its own QApplication and loop on the main thread, which makes
// every UI call from inside the loop and, as a Qt host may, sends no idle calls: the UI's widgets
// live in the host's application and run in the host's loop.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "lv2_ui_scenario.h"
#include "qt_host_windows.h"

namespace {

class QtUiHost : public host_model::UiHostModel {
 public:
  void pump(int milliseconds) override { host_model::QtHostWindows::pump(milliseconds); }
  unsigned long make_window(int width, int height) override { return windows.make(width, height); }
  void destroy_window(unsigned long id) override { windows.destroy(id); }

  // The UI asks in the screen's pixels.
  void resize_window(unsigned long id, int width, int height) override {
    QWidget& window = *windows.find(id);
    const qreal ratio = window.devicePixelRatioF();
    window.resize(static_cast<int>(width / ratio), static_cast<int>(height / ratio));
  }

  pid_t main_thread() const override { return main; }
  bool runs_qt() const override { return true; }

 private:
  host_model::QtHostWindows windows{"Qt host UI"};
  pid_t main = host_model::current_thread();
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QLabel main_window("Qt host");
  main_window.show();
  host_model::UiHost host;
  QtUiHost model;
  host_model::Results results;
  // Everything from inside the host's running loop, as a host's slots do.
  QTimer::singleShot(0, [&] {
    results = host_model::play_ui_scenario(host, model);
    QApplication::quit();
  });
  QApplication::exec();
  std::printf("%d passed, %d failed\n", results.passed, results.failed);
  return results.failed == 0 ? 0 : 1;
}
