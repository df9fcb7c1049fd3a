// A GTK 3 host of the plug-in's GTK 3 UI, as Audacity 3.2 runs it: the UI's widget is the host's
// to place (here in a box that, as wxWidgets does, sets the widget's size request to the room it
// has), port events come before the widget has a window, the GLib loop runs on the main thread and
// no idle call is made. The panel must sit inside the widget's window at its own size, show the
// values it was sent, write what the user picks, and go with the window.
#include <dlfcn.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "editor_scenario.h"
#include "panel_screen.h"

namespace {

using host_model::Results;

constexpr const char* kPluginUri = "https://orvendel.example/plugins/zaltrim";
constexpr const char* kGtk3UiUri = "https://orvendel.example/plugins/zaltrim#gtk3-ui";
constexpr std::uint32_t kGainPort = 2;
constexpr std::uint32_t kOversamplingPort = 3;
// The room the host gives the widget, wider than the panel.
constexpr int kRoomWidth = 365;
constexpr int kRoomHeight = 132;

struct Write {
  std::uint32_t port;
  float value;
};
std::vector<Write> writes;

void write(LV2UI_Controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol, const void* buffer) {
  if (protocol != 0 || size != sizeof(float)) return;
  float value;
  std::memcpy(&value, buffer, sizeof(value));
  writes.push_back({port, value});
}

class Gtk3Host : public host_model::HostModel {
 public:
  void pump(int milliseconds) override {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < end)
      if (!gtk_main_iteration_do(FALSE)) g_usleep(2000);
  }
  unsigned long make_window(int, int) override { return 0; }
  void destroy_window(unsigned long) override {}
  pid_t main_thread() const override { return main; }

 private:
  pid_t main = host_model::current_thread();
};

// The first viewable window of class QtZaltrim under `window`, depth first; 0 if none.
::Window find_panel(Display* display, ::Window window) {
  ::Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
  ::Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XClassHint hint{};
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, children[i], &attributes);
    if (attributes.map_state == IsViewable && XGetClassHint(display, children[i], &hint)) {
      if (hint.res_class && std::strcmp(hint.res_class, "QtZaltrim") == 0) found = children[i];
      XFree(hint.res_name);
      XFree(hint.res_class);
    }
    if (!found) found = find_panel(display, children[i]);
  }
  if (children) XFree(children);
  return found;
}

host_model::Size size_of(Display* display, ::Window window, int& x) {
  ::Window root;
  int y;
  unsigned int width = 0, height = 0, border, depth;
  XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth);
  return {static_cast<int>(width), static_cast<int>(height)};
}

void port_event(const LV2UI_Descriptor* descriptor, LV2UI_Handle handle, std::uint32_t port, float value) {
  descriptor->port_event(handle, port, sizeof(value), 0, &value);
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  Results results;
  Gtk3Host model;
  host_model::Screen screen;
  Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());

  const std::string bundle = std::string(std::getenv("ZALTRIM_BUILD_DIR")) + "/zaltrim.lv2";
  void* module = dlopen((bundle + "/zaltrim_ui_gtk3.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  const auto entry = module ? reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor")) : nullptr;
  const LV2UI_Descriptor* descriptor = entry ? entry(0) : nullptr;
  results.check(descriptor && std::strcmp(descriptor->URI, kGtk3UiUri) == 0 && !entry(1),
                "the module describes the bundle's GTK 3 UI, and only that");
  if (!descriptor) return 1;

  // No ui:parent: a GTK 3 UI is a widget the host places.
  const LV2_Feature* features[] = {nullptr};
  LV2UI_Widget widget = nullptr;
  LV2UI_Handle handle =
      descriptor->instantiate(descriptor, kPluginUri, bundle.c_str(), write, nullptr, &widget, features);
  results.check(handle && widget && GTK_IS_WIDGET(widget), "instantiating gives a GTK widget, without ui:parent");
  if (!handle) return 1;

  // What the host sends before the widget is shown: +24 dB, factor 16.
  port_event(descriptor, handle, kGainPort, 24.0f);
  port_event(descriptor, handle, kOversamplingPort, 16.0f);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  auto* ui_widget = static_cast<GtkWidget*>(widget);
  gtk_widget_set_size_request(ui_widget, kRoomWidth, kRoomHeight);
  gtk_box_pack_start(GTK_BOX(box), ui_widget, TRUE, TRUE, 0);
  gtk_widget_show_all(window);
  model.pump(800);

  const ::Window top = GDK_WINDOW_XID(gtk_widget_get_window(window));
  const ::Window panel = find_panel(display, top);
  results.check(panel != 0, "the panel is inside the host's window");
  const ::Window stray = find_panel(display, DefaultRootWindow(display)) == panel ? 0 : 1;
  results.check(stray == 0, "... and no panel stands on its own");
  if (!panel) return 1;
  int x = 0;
  const host_model::Size size = size_of(display, panel, x);
  results.check(size.width > 100 && size.width < kRoomWidth && size.height > 100 && size.height <= kRoomHeight,
                "the panel keeps its own size in a larger room", std::to_string(size.width) + " x " + std::to_string(size.height));

  const host_model::Editor editor(model, screen, size, panel);
  const std::vector<host_model::Rgb> sent_early = editor.picture();
  port_event(descriptor, handle, kGainPort, 0.0f);
  port_event(descriptor, handle, kOversamplingPort, 2.0f);
  model.pump(300);
  const std::vector<host_model::Rgb> defaults = editor.picture();
  port_event(descriptor, handle, kGainPort, 24.0f);
  port_event(descriptor, handle, kOversamplingPort, 16.0f);
  model.pump(300);
  results.check(host_model::differing_pixels(sent_early, defaults) > 20 &&
                    host_model::differing_pixels(sent_early, editor.picture()) == 0,
                "values sent before the widget was shown show as values sent to the open panel");

  writes.clear();
  editor.pick_last_factor();
  model.pump(300);
  results.check(writes.size() == 1 && writes[0].port == kOversamplingPort && writes[0].value == 32.0f,
                "picking 32 in the factor list writes 32 to the oversampling port, with no idle call",
                std::to_string(writes.size()) + " writes");

  gtk_widget_destroy(window);
  model.pump(300);
  results.check(find_panel(display, DefaultRootWindow(display)) == 0, "the panel goes with the host's window");
  descriptor->cleanup(handle);
  model.pump(100);
  std::printf("%d passed, %d failed\n", results.passed, results.failed);
  return results.failed == 0 ? 0 : 1;
}
