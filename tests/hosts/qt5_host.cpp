// A Qt 5 host as MusE is one: its own QApplication of Qt 5 and loop on the main thread, which makes
// every editor and UI call from inside that loop and sends idle calls from a timer of its own, as
// Qt 5 hosts do. The module brings Qt 6 into the process: it makes its own application beside the
// host's, and both share the process's Xlib.
//
// It plays the editor scenario on the built VST 2 module, then the UI scenario on the LV2 UI
// (both open the factor list and pick from it with real clicks), then opens the UI once more the
// way MusE shows it: wrapped in a Qt 5 window of the host's, which takes it out of the host's
// window before the host frees the UI. The host then quits: its exit status is the test's.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <exception>
#include <functional>

#include "editor_scenario.h"
#include "lv2_ui_scenario.h"
#include "qt_host_windows.h"
#include "test_support.h"
#include "zaltrim_session.h"

namespace {

// MusE sends its idle calls from a 30 Hz timer of the GUI thread.
constexpr int kIdlePeriodMs = 33;

class Qt5Host : public host_model::UiHostModel {
 public:
  explicit Qt5Host(std::function<void()> idle) : idle(std::move(idle)) {
    QObject::connect(&idle_timer, &QTimer::timeout, [this] { this->idle(); });
    idle_timer.start(kIdlePeriodMs);
  }

  void pump(int milliseconds) override { host_model::QtHostWindows::pump(milliseconds); }
  unsigned long make_window(int width, int height) override { return windows.make(width, height); }
  void destroy_window(unsigned long id) override { windows.destroy(id); }

  void resize_window(unsigned long id, int width, int height) override {
    QWidget* window = windows.find(id);
    if (!window) return;
    const qreal ratio = window->devicePixelRatioF();
    window->setFixedSize(static_cast<int>(width / ratio), static_cast<int>(height / ratio));
  }

  pid_t main_thread() const override { return main; }
  // The module's application, made for the editor before, stays for the process.
  bool needs_display_for_ui() const override { return false; }

  QWidget* window(unsigned long id) { return windows.find(id); }

 private:
  std::function<void()> idle;
  QTimer idle_timer;
  host_model::QtHostWindows windows{"Qt 5 host editor"};
  pid_t main = host_model::current_thread();
};

host_model::Results play_vst2(const zhost::Plugin& plugin) {
  Qt5Host model([&plugin] { plugin.dispatch(effEditIdle); });
  return host_model::play_editor_scenario(plugin, model);
}

host_model::Results play_lv2(host_model::UiHost& host) {
  Qt5Host model([&host] { host.idle(); });
  return host_model::play_ui_scenario(host, model);
}

// MusE shows an X11 UI inside a Qt 5 window of its own, through a foreign QWindow of the UI's
// widget; closing the window takes that QWindow out of it and deletes it, then frees the UI.
void play_wrapped_lv2(host_model::Results& results, host_model::UiHost& host) {
  Qt5Host model([&host] { host.idle(); });
  const unsigned long id = model.make_window(64, 64);
  if (!host.instantiate(model, id)) {
    results.check(false, "the UI opens again inside a Qt 5 window of the host's");
    return;
  }
  QWindow* wrapper = QWindow::fromWinId(static_cast<WId>(host.widget()));
  wrapper->setParent(model.window(id)->windowHandle());
  wrapper->show();
  model.pump(500);
  wrapper->setParent(nullptr);
  delete wrapper;
  host.cleanup();
  model.pump(300);
  model.destroy_window(id);
  results.check(true, "the UI, wrapped as MusE wraps it, closes and frees");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QLabel main_window("Qt 5 host");
  main_window.show();
  try {
    zhost::Module module(test_support::module_path());
    zhost::Host vst_host;
    zhost::Plugin plugin(module, vst_host);
    zhost::start_effect(plugin, 48000.0f, 1024, 1.0f, 2);
    host_model::UiHost ui_host;
    host_model::Results vst2, lv2;
    // Everything from inside the host's running loop, as a host's slots do.
    QTimer::singleShot(0, [&] {
      std::printf("VST 2 editor in a Qt 5 host\n");
      vst2 = play_vst2(plugin);
      std::printf("LV2 UI in a Qt 5 host\n");
      lv2 = play_lv2(ui_host);
      play_wrapped_lv2(lv2, ui_host);
      QApplication::quit();
    });
    QApplication::exec();
    zhost::stop_effect(plugin);
    const int failed = vst2.failed + lv2.failed;
    std::printf("%d passed, %d failed\n", vst2.passed + lv2.passed, failed);
    return failed == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qt 5 host: %s\n", error.what());
    return 1;
  }
}
