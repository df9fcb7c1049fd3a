// A Qt 6 host as Qtractor is one: its own QApplication and event loop on the main thread, which
// also sends every editor request, from inside its loop. It sends no idle calls: the module's
// widgets live in the host's application and run in the host's loop.
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <exception>
#include <memory>

#include "editor_scenario.h"
#include "test_support.h"
#include "zaltrim_session.h"

namespace {

class QtHost : public host_model::HostModel {
 public:
  QtHost() : main(host_model::current_thread()) {}

  void pump(int milliseconds) override {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
  }
  unsigned long make_window(int width, int height) override {
    // The host's editor window is a widget of its own, sized in the screen's pixels.
    window = std::make_unique<QWidget>();
    window->setWindowTitle("Qt host editor");
    const qreal ratio = window->devicePixelRatioF();
    window->setFixedSize(static_cast<int>(width / ratio), static_cast<int>(height / ratio));
    window->show();
    pump(200);
    return window->winId();
  }
  void destroy_window(unsigned long) override { window.reset(); }
  pid_t main_thread() const override { return main; }

 private:
  pid_t main;
  std::unique_ptr<QWidget> window;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QLabel main_window("Qt host");
  main_window.show();
  try {
    zhost::Module module(test_support::module_path());
    zhost::Host host;
    zhost::Plugin plugin(module, host);
    zhost::start_effect(plugin, 48000.0f, 1024, 1.0f, 2);
    QtHost model;
    host_model::Results results;
    // Everything from inside the host's running loop, as a host's slots do.
    QTimer::singleShot(0, [&] {
      results = host_model::play_editor_scenario(plugin, model);
      QApplication::quit();
    });
    QApplication::exec();
    zhost::stop_effect(plugin);
    std::printf("%d passed, %d failed\n", results.passed, results.failed);
    return results.failed == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qt host: %s\n", error.what());
    return 1;
  }
}
