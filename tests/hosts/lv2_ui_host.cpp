// A plain Xlib host of the plug-in's UI: one thread makes the UI's parent window, instantiates the
// UI and sends it idle calls at about 30 Hz. No toolkit loop runs.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "lv2_ui_scenario.h"

namespace {

class XlibUiHost : public host_model::UiHostModel {
 public:
  explicit XlibUiHost(host_model::UiHost& host) : host(host), display(XOpenDisplay(nullptr)) {}
  ~XlibUiHost() override {
    if (display) XCloseDisplay(display);
  }
  XlibUiHost(const XlibUiHost&) = delete;
  XlibUiHost& operator=(const XlibUiHost&) = delete;

  void pump(int milliseconds) override {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    auto next_idle = Clock::now();
    while (Clock::now() < end) {
      drain_events();
      if (Clock::now() >= next_idle) {
        host.idle();
        next_idle += std::chrono::milliseconds(kIdlePeriodMs);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  unsigned long make_window(int width, int height) override {
    if (!display) return 0;
    const int screen = DefaultScreen(display);
    const ::Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, BlackPixel(display, screen), BlackPixel(display, screen));
    XMapWindow(display, window);
    XSync(display, False);
    return window;
  }

  void destroy_window(unsigned long window) override {
    XDestroyWindow(display, window);
    XSync(display, False);
  }

  void resize_window(unsigned long window, int width, int height) override {
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
  }

  pid_t main_thread() const override { return main; }

 private:
  static constexpr int kIdlePeriodMs = 33;

  void drain_events() {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
    }
  }

  host_model::UiHost& host;
  Display* display;
  pid_t main = host_model::current_thread();
};

}  // namespace

int main() {
  host_model::UiHost host;
  XlibUiHost model(host);
  const host_model::Results results = host_model::play_ui_scenario(host, model);
  std::printf("%d passed, %d failed\n", results.passed, results.failed);
  return results.failed == 0 ? 0 : 1;
}
