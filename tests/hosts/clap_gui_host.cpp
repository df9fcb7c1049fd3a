// A plain Xlib CLAP host of the panel: its main thread loads Zaltrim.clap, makes the window,
// creates and embeds the plug-in's GUI and runs the timers the plug-in registers; no toolkit loop
// runs, so the module's own Qt application runs from those timers. The user's gestures must reach
// the host as gesture and value events, the host's own changes must move the panel and never come
// back, and fifty open/close cycles must leave the heap as it was.
#include <cstdio>
#include <thread>

#include "clap_instance.h"
#include "editor_scenario.h"
#include "panel_screen.h"
#include "xlib_windows.h"

namespace {

using namespace host_model;

constexpr clap_id kGain = 0, kOversampling = 1;
constexpr int kTimerPeriodMs = 30;

class ClapTimerHost : public HostModel {
 public:
  explicit ClapTimerHost(ClapInstance& plugin) : plugin(plugin) {}

  void pump(int milliseconds) override {
    windows.pump(milliseconds, kTimerPeriodMs, [this] { plugin.run_timers(); });
  }
  unsigned long make_window(int width, int height) override { return windows.make_window(width, height); }
  void destroy_window(unsigned long window) override { windows.destroy_window(window); }
  pid_t main_thread() const override { return main; }
  bool ok() const { return windows.ok(); }

 private:
  ClapInstance& plugin;
  XlibWindows windows;
  pid_t main = current_thread();
};

bool is_gesture(const std::vector<Announced>& events, clap_id id) {
  return events.size() >= 3 && events.front().type == CLAP_EVENT_PARAM_GESTURE_BEGIN && events.front().id == id &&
         events.back().type == CLAP_EVENT_PARAM_GESTURE_END && events.back().id == id;
}

bool announces_value(const std::vector<Announced>& events, clap_id id, double value) {
  for (const Announced& event : events)
    if (event.type == CLAP_EVENT_PARAM_VALUE && event.id == id && event.value == value) return true;
  return false;
}

class Scenario {
 public:
  Scenario(ClapInstance& plugin, ClapTimerHost& model)
      : plugin(plugin), model(model), gui(plugin.extension<clap_plugin_gui_t>(CLAP_EXT_GUI)), p(&plugin.plugin()) {}

  Results play() {
    results.check(gui && gui->is_api_supported(p, CLAP_WINDOW_API_X11, false) &&
                      !gui->is_api_supported(p, CLAP_WINDOW_API_X11, true) &&
                      !gui->is_api_supported(p, "wayland", false),
                  "the GUI is offered embedded in an X11 window, and only so");
    bool refused = false;
    std::thread([&] { refused = !gui->create(p, CLAP_WINDOW_API_X11, false); }).join();
    results.check(refused, "a GUI asked for off the host's main thread is refused");
    if (!open()) return results;
    check_embedded_size();
    // Drawn in the timer's ticks, however long a busy machine makes them wait.
    for (int wait = 0; wait < 100 && !is_drawn(editor(), size); ++wait) model.pump(100);
    check_drawing(results, editor(), size);
    check_gain_gesture();
    check_factor_pick();
    check_host_change();
    close();
    results.check(!plugin.has_timer(), "closing the GUI gives its timer back");
    const double growth = heap_growth_of_cycles(model, [&] {
      open();
      close();
    });
    results.check(growth < 512 * 1024, "50 open/close cycles do not grow memory",
                  std::to_string(static_cast<long>(growth)) + " bytes");
    return results;
  }

 private:
  bool open() {
    std::uint32_t width = 0, height = 0;
    const bool made = gui->create(p, CLAP_WINDOW_API_X11, false) && gui->get_size(p, &width, &height);
    size = {static_cast<int>(width), static_cast<int>(height)};
    window = made ? model.make_window(size.width, size.height) : 0;
    clap_window_t parent{CLAP_WINDOW_API_X11, {}};
    parent.x11 = window;
    const bool shown = window && gui->set_parent(p, &parent) && gui->show(p);
    model.pump(30);
    if (!shown)
      results.check(false, "the GUI opens in the host's window", std::to_string(width) + "x" + std::to_string(height));
    return shown;
  }

  void close() {
    gui->destroy(p);
    model.destroy_window(window);
  }

  Editor editor() const { return Editor(model, screen, size, window); }

  // Hosts ask again on every resize event: the size measured before the panel existed is the
  // embedded panel's own.
  void check_embedded_size() {
    std::uint32_t width = 0, height = 0;
    const bool answered = gui->get_size(p, &width, &height);
    results.check(answered && static_cast<int>(width) == size.width && static_cast<int>(height) == size.height,
                  "the embedded GUI reports the size it asked for before it was embedded",
                  std::to_string(width) + "x" + std::to_string(height));
  }

  void check_gain_gesture() {
    model.pump(400);
    plugin.flush();
    const double before = plugin.value(kGain);
    const int requests = plugin.flush_requests();
    const int marks = plugin.dirty_marks();
    editor().drag(kDialTop, kDialRight);
    model.pump(200);
    const std::vector<Announced> events = plugin.flush();
    results.check(plugin.value(kGain) != before && is_gesture(events, kGain) &&
                      announces_value(events, kGain, plugin.value(kGain)) && plugin.flush_requests() > requests &&
                      plugin.dirty_marks() == marks + 1,
                  "a drag on the dial is one gesture to the host, its values within, each with a flush request, "
                  "and the state marked dirty at its end",
                  std::to_string(events.size()) + " events");
  }

  void check_factor_pick() {
    editor().pick_last_factor();
    const std::vector<Announced> events = plugin.flush();
    results.check(plugin.value(kOversampling) == 4.0 && is_gesture(events, kOversampling) &&
                      announces_value(events, kOversampling, 4.0),
                  "a factor picked in the list reaches the host as a gesture");
  }

  void check_host_change() {
    const std::vector<Rgb> before = editor().dial_picture();
    const std::vector<Announced> during = plugin.flush({{0, kGain, -30.0}});
    bool moved = false;
    for (int wait = 0; wait < 100 && !moved; ++wait) {
      model.pump(100);
      moved = differing_pixels(before, editor().dial_picture()) > 20;
    }
    const std::vector<Announced> after = plugin.flush();
    results.check(moved, "the host's change moves the dial");
    results.check(during.empty() && after.empty() && plugin.value(kGain) == -30.0,
                  "... and is never announced back to the host");
  }

  ClapInstance& plugin;
  ClapTimerHost& model;
  const clap_plugin_gui_t* gui;
  const clap_plugin_t* p;
  host_model::Screen screen;
  Results results;
  Size size;
  unsigned long window = 0;
};

}  // namespace

int main() {
  try {
    ClapModule module;
    ClapInstance plugin(module, "example.orvendel.zaltrim");
    ClapTimerHost model(plugin);
    if (!model.ok()) {
      std::fprintf(stderr, "clap gui host: no display\n");
      return 1;
    }
    const Results results = Scenario(plugin, model).play();
    std::printf("%d passed, %d failed\n", results.passed, results.failed);
    return results.failed == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "clap gui host: %s\n", error.what());
    return 1;
  }
}
