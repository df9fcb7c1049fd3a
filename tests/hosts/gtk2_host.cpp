// A GTK 2 host as Ardour is one: its GLib loop runs on the main thread, which loaded the module,
// created the effect and sets its parameter; a thread of the host's own makes the editor's window
// and sends every editor request, with idle calls at 25 Hz. The main loop must keep running the
// whole time, and the effect is closed on the main thread at the end.
#include <gtk/gtk.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "editor_scenario.h"
#include "test_support.h"
#include "zaltrim_session.h"

namespace {

// Long enough for a loop on the busiest machine; only a loop the editor blocks takes longer.
constexpr auto kAnswerTime = std::chrono::seconds(30);
constexpr auto kAskPeriod = std::chrono::milliseconds(100);

std::mutex answer_mutex;
std::condition_variable answer_given;
long answers = 0;

gboolean answer(gpointer) {
  {
    const std::lock_guard<std::mutex> lock(answer_mutex);
    ++answers;
  }
  answer_given.notify_all();
  return G_SOURCE_REMOVE;
}

gboolean quit_loop(gpointer) {
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

// Whether the main loop runs a callback asked of it from this thread within kAnswerTime.
bool main_loop_answers() {
  std::unique_lock<std::mutex> lock(answer_mutex);
  const long wanted = answers + 1;
  g_idle_add(answer, nullptr);
  return answer_given.wait_for(lock, kAnswerTime, [wanted] { return answers >= wanted; });
}

// Asks the main loop for an answer every kAskPeriod until the scenario is over, then ends the loop.
// False if an answer never came: after that one, it asks no more.
bool watch_main_loop(const std::atomic<bool>& scenario_over) {
  bool answered = true;
  while (!scenario_over) {
    if (answered) answered = main_loop_answers();
    std::this_thread::sleep_for(kAskPeriod);
  }
  g_idle_add(quit_loop, nullptr);
  return answered;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  GtkWidget* main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_container_add(GTK_CONTAINER(main_window), gtk_label_new("GTK 2 host"));
  gtk_widget_show_all(main_window);

  try {
    zhost::Module module(test_support::module_path());
    zhost::Host host;
    zhost::Plugin plugin(module, host);
    zhost::start_effect(plugin, 44100.0f, 512, 1.0f, 2);
    plugin.set_parameter(0, plugin.get_parameter(0));

    host_model::Results results;
    std::atomic<bool> scenario_over{false};
    const pid_t main_thread = host_model::current_thread();
    std::thread editor_thread([&] {
      // Ardour's editor thread runs its plug-ins' idle calls every 40 ms.
      host_model::IdleDrivenHost model(plugin, main_thread, 40);
      results = host_model::play_editor_scenario(plugin, model);
      scenario_over = true;
    });
    bool loop_answered = false;
    std::thread watcher([&] { loop_answered = watch_main_loop(scenario_over); });
    gtk_main();
    editor_thread.join();
    watcher.join();

    // A rate would fail on a busy machine too; an answer that never comes fails only a blocked loop.
    results.check(loop_answered, "the host's GLib loop kept answering while the editor ran");
    zhost::stop_effect(plugin);
    gtk_widget_destroy(main_window);
    std::printf("%d passed, %d failed\n", results.passed, results.failed);
    return results.failed == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "gtk2 host: %s\n", error.what());
    return 1;
  }
}
