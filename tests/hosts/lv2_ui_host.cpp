// A plain Xlib host of the plug-in's UI: one thread makes the UI's parent window, instantiates the
// UI and sends it idle calls at about 30 Hz. No toolkit loop runs.
#include <cstdio>

#include "lv2_ui_scenario.h"
#include "xlib_windows.h"

namespace {

class XlibUiHost : public host_model::UiHostModel {
 public:
  explicit XlibUiHost(host_model::UiHost& host) : host(host) {}

  void pump(int milliseconds) override {
    windows.pump(milliseconds, kIdlePeriodMs, [this] { host.idle(); });
  }
  unsigned long make_window(int width, int height) override { return windows.make_window(width, height); }
  void destroy_window(unsigned long window) override { windows.destroy_window(window); }
  void resize_window(unsigned long window, int width, int height) override {
    windows.resize_window(window, width, height);
  }
  pid_t main_thread() const override { return main; }

 private:
  static constexpr int kIdlePeriodMs = 33;

  host_model::UiHost& host;
  host_model::XlibWindows windows;
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
