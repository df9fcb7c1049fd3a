// A plain Xlib host: one thread loads the module, creates the effect, owns the editor's window and
// drives the editor through its idle calls alone, at about 30 Hz. No toolkit loop runs.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>

#include "editor_scenario.h"
#include "test_support.h"
#include "x11_window.h"
#include "zaltrim_session.h"

namespace {

class XlibHost : public host_model::HostModel {
 public:
  explicit XlibHost(const zhost::Plugin& plugin) : plugin(plugin), main(host_model::current_thread()) {}

  void pump(int milliseconds) override {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    auto next_idle = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
      if (window) window->handle_events();
      if (std::chrono::steady_clock::now() >= next_idle) {
        plugin.dispatch(effEditIdle);
        next_idle += std::chrono::milliseconds(33);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  unsigned long make_window(int width, int height) override {
    window = std::make_unique<zhost::X11Window>("xlib host", width, height);
    return window->id();
  }
  void destroy_window(unsigned long) override { window.reset(); }
  pid_t main_thread() const override { return main; }

 private:
  const zhost::Plugin& plugin;
  pid_t main;
  std::unique_ptr<zhost::X11Window> window;
};

}  // namespace

int main() {
  try {
    zhost::Module module(test_support::module_path());
    zhost::Host host;
    zhost::Plugin plugin(module, host);
    zhost::start_effect(plugin, 44100.0f, 512, 1.0f, 2);
    XlibHost model(plugin);
    const host_model::Results results = host_model::play_editor_scenario(plugin, model);
    zhost::stop_effect(plugin);
    std::printf("%d passed, %d failed\n", results.passed, results.failed);
    return results.failed == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "xlib host: %s\n", error.what());
    return 1;
  }
}
