// A GTK 2 host as Ardour is one: its GLib loop runs on the main thread, which loaded the module,
// created the effect and sets its parameter; a thread of the host's own makes the editor's window
// and sends every editor request, with idle calls at 25 Hz. The main loop must keep its pace the
// whole time, and the effect is closed on the main thread at the end.
#include <gtk/gtk.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "editor_scenario.h"
#include "test_support.h"
#include "zaltrim_session.h"

namespace {

constexpr int kTickMs = 20;

std::atomic<long> ticks{0};

gboolean tick(gpointer) {
  ++ticks;
  return G_SOURCE_CONTINUE;
}

gboolean quit_loop(gpointer) {
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  GtkWidget* main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_container_add(GTK_CONTAINER(main_window), gtk_label_new("GTK 2 host"));
  gtk_widget_show_all(main_window);
  g_timeout_add(kTickMs, tick, nullptr);

  try {
    zhost::Module module(test_support::module_path());
    zhost::Host host;
    zhost::Plugin plugin(module, host);
    zhost::start_effect(plugin, 44100.0f, 512, 1.0f, 2);
    plugin.set_parameter(0, plugin.get_parameter(0));

    host_model::Results results;
    const auto start = std::chrono::steady_clock::now();
    const pid_t main_thread = host_model::current_thread();
    std::thread editor_thread([&] {
      // Ardour's editor thread runs its plug-ins' idle calls every 40 ms.
      host_model::IdleDrivenHost model(plugin, main_thread, 40);
      results = host_model::play_editor_scenario(plugin, model);
      g_idle_add(quit_loop, nullptr);
    });
    gtk_main();
    editor_thread.join();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double expected = seconds * 1000.0 / kTickMs;
    results.check(static_cast<double>(ticks.load()) > 0.5 * expected, "the host's GLib loop kept its pace",
                  std::to_string(ticks.load()) + " of " + std::to_string(static_cast<long>(expected)) + " ticks");
    zhost::stop_effect(plugin);
    gtk_widget_destroy(main_window);
    std::printf("%d passed, %d failed\n", results.passed, results.failed);
    return results.failed == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "gtk2 host: %s\n", error.what());
    return 1;
  }
}
