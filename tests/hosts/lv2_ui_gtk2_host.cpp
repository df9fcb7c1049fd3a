// A GTK 2 host of the plug-in's UI as a GTK wrapper runs an X11 UI: the GLib loop on the main
// thread, the parent window a GTK window's, the idle calls from a GLib timeout at about 30 Hz, and
// every UI call made on that thread.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>
#include <map>

#include "lv2_ui_scenario.h"

namespace {

class Gtk2UiHost : public host_model::UiHostModel {
 public:
  explicit Gtk2UiHost(host_model::UiHost& host) : host(host) { timeout = g_timeout_add(kIdlePeriodMs, idle, &host); }
  ~Gtk2UiHost() override { g_source_remove(timeout); }
  Gtk2UiHost(const Gtk2UiHost&) = delete;
  Gtk2UiHost& operator=(const Gtk2UiHost&) = delete;

  void pump(int milliseconds) override {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < end)
      if (!gtk_main_iteration_do(FALSE)) g_usleep(2000);
  }

  unsigned long make_window(int width, int height) override {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    gtk_widget_show(window);
    gdk_flush();
    const unsigned long id = GDK_WINDOW_XID(gtk_widget_get_window(window));
    windows[id] = window;
    return id;
  }

  void destroy_window(unsigned long id) override {
    gtk_widget_destroy(windows[id]);
    windows.erase(id);
  }

  void resize_window(unsigned long id, int width, int height) override {
    gtk_window_resize(GTK_WINDOW(windows[id]), width, height);
  }

  pid_t main_thread() const override { return main; }

 private:
  static constexpr int kIdlePeriodMs = 33;

  static gboolean idle(gpointer ui_host) {
    static_cast<host_model::UiHost*>(ui_host)->idle();
    return G_SOURCE_CONTINUE;
  }

  host_model::UiHost& host;
  guint timeout = 0;
  std::map<unsigned long, GtkWidget*> windows;
  pid_t main = host_model::current_thread();
};

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  host_model::UiHost host;
  Gtk2UiHost model(host);
  const host_model::Results results = host_model::play_ui_scenario(host, model);
  std::printf("%d passed, %d failed\n", results.passed, results.failed);
  return results.failed == 0 ? 0 : 1;
}
