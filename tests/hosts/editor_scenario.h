// What a user does with the editor, played the same way in hosts of each threading model that
// Linux hosts use: a plain Xlib host that runs everything on one thread, a GTK 2 host whose GLib
// loop runs on the main thread while a thread of its own drives the editor, and a Qt 6 host with
// its own application and loop.
//
// The scenario runs on the host's editor thread and drives the built module through its
// dispatcher, with real X input (XTest) on a host window of the host's own. Each check prints one
// line; the host's exit status tells whether all passed and everything closed cleanly.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

#include "vst_host.h"
#include "x11_window.h"

namespace host_model {

// How a host of one threading model lets time pass and makes its editor window.
class HostModel {
 public:
  virtual ~HostModel() = default;
  // Lets `milliseconds` pass the way this host does: its loop runs and, where it does, it sends
  // the editor its idle calls.
  virtual void pump(int milliseconds) = 0;
  // Lets `milliseconds` pass as pump() does, and returns the longest the editor's work held the
  // calling thread meanwhile, in milliseconds of that thread's CPU time: the time it waits for a
  // core on a busy machine, or stopped, is not the editor's. Here the whole pump, for a host whose
  // loop runs the editor's widgets among its own events.
  virtual double pump_timing_editor_work(int milliseconds);
  // A window of the host's own for the editor to live in, `width` x `height` pixels; 0 on failure.
  virtual unsigned long make_window(int width, int height) = 0;
  virtual void destroy_window(unsigned long window) = 0;
  // The host's main thread, whose loop must keep running.
  virtual pid_t main_thread() const = 0;
};

// A host without a toolkit loop on the editor's thread: its own Xlib window for the editor, and
// idle calls at its own pace, from the thread that calls pump().
class IdleDrivenHost : public HostModel {
 public:
  IdleDrivenHost(const zhost::Plugin& plugin, pid_t main, int idle_period_ms);
  ~IdleDrivenHost() override;

  void pump(int milliseconds) override;
  // The longest single idle call.
  double pump_timing_editor_work(int milliseconds) override;
  unsigned long make_window(int width, int height) override;
  void destroy_window(unsigned long window) override;
  pid_t main_thread() const override { return main; }

 private:
  const zhost::Plugin& plugin;
  pid_t main;
  int idle_period_ms;
  std::unique_ptr<zhost::X11Window> window;
};

struct Results {
  int passed = 0;
  int failed = 0;
  void check(bool ok, const std::string& what, const std::string& detail = {});
};

// Plays the whole scenario on `plugin` (an effect already opened and resumed) from the calling
// thread, which is the host's editor thread.
Results play_editor_scenario(const zhost::Plugin& plugin, HostModel& model);

// What 45 cycles (after 5 to warm up), each followed by 30 ms of the host's loop, leave on the
// heap, in bytes.
double heap_growth_of_cycles(HostModel& model, const std::function<void()>& cycle);

// The calling thread's id, as /proc names it.
pid_t current_thread();
// CPU seconds a thread of this process has used so far.
double thread_cpu_seconds(pid_t thread);
// CPU milliseconds the calling thread has used so far, to the nanosecond.
double calling_thread_cpu_ms();

}  // namespace host_model
