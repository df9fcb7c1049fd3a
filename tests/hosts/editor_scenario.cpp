#include "editor_scenario.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "panel_screen.h"
#include "x11_support.h"

namespace host_model {

namespace {

using Clock = std::chrono::steady_clock;

Size editor_size(const zhost::Plugin& plugin) {
  ERect* rect = nullptr;
  if (plugin.dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return {};
  return {rect->right - rect->left, rect->bottom - rect->top};
}

bool open_editor(const zhost::Plugin& plugin, unsigned long window) {
  return plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)) == 1;
}

std::vector<float> sine_block(const zhost::Plugin& plugin) {
  std::vector<float> input(512), output(512);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = 0.25f * static_cast<float>(std::sin(0.05 * i));
  plugin.process(input.data(), output.data(), static_cast<VstInt32>(input.size()));
  return output;
}

std::int32_t chunk_factor(const zhost::Plugin& plugin) {
  const std::vector<unsigned char> chunk = plugin.get_chunk();
  std::int32_t factor = 0;
  if (chunk.size() >= 8) std::memcpy(&factor, chunk.data() + 4, 4);
  return factor;
}

std::string format(const char* pattern, double value) {
  char text[96];
  std::snprintf(text, sizeof(text), pattern, value);
  return text;
}

void check_dial_drag(Results& results, const zhost::Plugin& plugin, HostModel& model, const Editor& editor) {
  const float gain_before = plugin.get_parameter(0);
  const std::vector<float> sound_before = sine_block(plugin);
  zhost::Host& host = plugin.host();
  host.clear_calls();
  editor.drag(kDialTop, kDialRight);
  model.pump(300);
  const float gain_after = plugin.get_parameter(0);
  results.check(gain_after != gain_before, "a drag on the dial changes the gain",
                format("parameter %g", gain_before) + format(" -> %g", gain_after));
  results.check(sine_block(plugin) != sound_before, "... and the sound");
  const std::size_t changes = host.count(audioMasterAutomate);
  results.check(host.count(audioMasterBeginEdit) == 1 && changes >= 1 && host.count(audioMasterEndEdit) == 1,
                "... and the host hears one edit", format("with %g changes", static_cast<double>(changes)));
}

void check_factor(Results& results, const zhost::Plugin& plugin, const Editor& editor) {
  plugin.host().clear_calls();
  const bool listed = editor.click_factor(2);
  results.check(listed && chunk_factor(plugin) == 8, "a click on 8 in the opened factor list picks 8",
                listed ? format("state says %g", chunk_factor(plugin)) : std::string("no list appeared"));
  editor.pick_last_factor();
  const std::int32_t factor = chunk_factor(plugin);
  results.check(factor == 32, "picking 32 in the factor list rebuilds the chain for 32",
                format("state says %g", factor));
  results.check(plugin.host().count(audioMasterUpdateDisplay) >= 1, "... and tells the host the state changed");
}

void check_automation(Results& results, const zhost::Plugin& plugin, HostModel& model, const Editor& editor) {
  const std::vector<Rgb> before = editor.dial_picture();
  plugin.host().clear_calls();
  std::thread([&plugin] { plugin.set_parameter(0, 0.9f); }).join();
  model.pump(400);
  const int changed = differing_pixels(before, editor.dial_picture());
  results.check(changed > 20, "host automation from another thread moves the dial",
                format("%g pixels of the dial changed", changed));
  results.check(plugin.get_parameter(0) == 0.9f && plugin.host().count(audioMasterAutomate) == 0,
                "... and stays as the host set it, untold to the host");
}

void check_main_loop_idles(Results& results, HostModel& model) {
  const pid_t main = model.main_thread();
  model.pump(200);
  const double cpu_before = thread_cpu_seconds(main);
  const std::size_t heap_before = editor_test::live_heap_bytes();
  const auto start = Clock::now();
  model.pump(3000);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const double share = (thread_cpu_seconds(main) - cpu_before) / elapsed;
  const double growth = static_cast<double>(editor_test::live_heap_bytes()) - static_cast<double>(heap_before);
  results.check(share < 0.10, "the host's main thread stays under 10 % of a core with the editor open",
                format("%.1f %% of a core", 100.0 * share));
  results.check(growth < 4096, "an idle editor leaves nothing behind in 3 s", format("%.0f bytes", growth));
}

// A host automating the gain as fast as it can, with the editor open: the editor needs only the
// latest value, so nothing may pile up, and its work on the host's thread stays short. That work
// takes a few ms of CPU at a time, under the sanitizers too; a busy machine, whose other work
// leaves the caches cold, has stretched it to 50 ms at worst.
constexpr double kLongestEditorWorkMs = 100.0;

void check_fast_automation(Results& results, const zhost::Plugin& plugin, HostModel& model) {
  std::atomic<bool> stop{false};
  std::atomic<long> calls{0};
  model.pump(200);
  const std::size_t heap_before = editor_test::live_heap_bytes();
  std::thread automation([&] {
    for (long i = 0; !stop.load(std::memory_order_relaxed); ++i) {
      plugin.set_parameter(0, i % 2 ? 0.3f : 0.7f);
      calls.fetch_add(1, std::memory_order_relaxed);
    }
  });
  double longest = 0.0;
  for (int slice = 0; slice < 30; ++slice) longest = std::max(longest, model.pump_timing_editor_work(100));
  stop = true;
  automation.join();
  const double growth = static_cast<double>(editor_test::live_heap_bytes()) - static_cast<double>(heap_before);
  std::printf("  (%ld parameter changes in 3 s)\n", calls.load());
  results.check(growth < 1024 * 1024, "fast host automation with the editor open does not grow the host",
                format("%.0f bytes", growth));
  results.check(longest < kLongestEditorWorkMs, "... and the host's loop keeps its pace",
                format("the editor held its thread for %.1f ms of CPU at most", longest));
}

void check_open_close_cycles(Results& results, const zhost::Plugin& plugin, HostModel& model, unsigned long window) {
  const double growth = heap_growth_of_cycles(model, [&] {
    open_editor(plugin, window);
    model.pump(30);
    plugin.dispatch(effEditClose);
  });
  results.check(growth < 512 * 1024, "50 open/close cycles do not grow memory", format("%.0f bytes", growth));
}

void check_about_box(Results& results, HostModel& model, const Screen& screen, const Editor& editor) {
  const int before = screen.viewable_top_levels();
  editor.click(kBackground);
  model.pump(600);
  results.check(screen.viewable_top_levels() == before + 1, "a click on the panel's background shows the about box");
}

}  // namespace

IdleDrivenHost::IdleDrivenHost(const zhost::Plugin& plugin, pid_t main, int idle_period_ms)
    : plugin(plugin), main(main), idle_period_ms(idle_period_ms) {}

IdleDrivenHost::~IdleDrivenHost() = default;

double HostModel::pump_timing_editor_work(int milliseconds) {
  const double before = calling_thread_cpu_ms();
  pump(milliseconds);
  return calling_thread_cpu_ms() - before;
}

void IdleDrivenHost::pump(int milliseconds) { pump_timing_editor_work(milliseconds); }

double IdleDrivenHost::pump_timing_editor_work(int milliseconds) {
  const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
  auto next_idle = Clock::now();
  double longest_idle = 0.0;
  while (Clock::now() < end) {
    if (window) window->handle_events();
    if (Clock::now() >= next_idle) {
      const double before = calling_thread_cpu_ms();
      plugin.dispatch(effEditIdle);
      longest_idle = std::max(longest_idle, calling_thread_cpu_ms() - before);
      next_idle += std::chrono::milliseconds(idle_period_ms);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return longest_idle;
}

unsigned long IdleDrivenHost::make_window(int width, int height) {
  window = std::make_unique<zhost::X11Window>("editor host", width, height);
  return window->id();
}

void IdleDrivenHost::destroy_window(unsigned long) { window.reset(); }

void Results::check(bool ok, const std::string& what, const std::string& detail) {
  ++(ok ? passed : failed);
  std::printf("%s: %s%s%s\n", ok ? "ok" : "FAILED", what.c_str(), detail.empty() ? "" : " - ", detail.c_str());
  std::fflush(stdout);
}

double heap_growth_of_cycles(HostModel& model, const std::function<void()>& cycle) {
  for (int i = 0; i < 5; ++i) cycle();
  model.pump(100);
  const std::size_t heap_before = editor_test::live_heap_bytes();
  for (int i = 0; i < 45; ++i) cycle();
  model.pump(100);
  return static_cast<double>(editor_test::live_heap_bytes()) - static_cast<double>(heap_before);
}

pid_t current_thread() { return static_cast<pid_t>(syscall(SYS_gettid)); }

double thread_cpu_seconds(pid_t thread) {
  std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The name in parentheses may hold spaces; the fields after it are fixed: utime and stime are
  // the 12th and 13th after the state.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0.0;
  for (int i = 1; i <= 13 && fields >> field; ++i)
    if (i >= 12) ticks += std::stod(field);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double calling_thread_cpu_ms() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return 1e3 * static_cast<double>(now.tv_sec) + 1e-6 * static_cast<double>(now.tv_nsec);
}

Results play_editor_scenario(const zhost::Plugin& plugin, HostModel& model) {
  Results results;
  const Screen screen;
  const Size size = editor_size(plugin);
  results.check(size.width > 0 && size.height > 0, "the editor reports its size before it opens",
                format("%g", size.width) + format(" x %g", size.height));
  const unsigned long window = size.width > 0 ? model.make_window(size.width, size.height) : 0;
  if (!screen.ok() || window == 0 || !open_editor(plugin, window)) {
    results.check(false, "the editor opens in the host's window");
    return results;
  }
  const Editor editor(model, screen, size, window);
  model.pump(600);
  check_drawing(results, editor, size);
  check_dial_drag(results, plugin, model, editor);
  check_factor(results, plugin, editor);
  check_automation(results, plugin, model, editor);
  check_main_loop_idles(results, model);
  check_fast_automation(results, plugin, model);
  plugin.dispatch(effEditClose);
  check_open_close_cycles(results, plugin, model, window);

  // Last, the about box: the editor is closed while it is up, and the host then exits.
  open_editor(plugin, window);
  model.pump(300);
  check_about_box(results, model, screen, editor);
  plugin.dispatch(effEditClose);
  model.pump(100);
  model.destroy_window(window);
  return results;
}

}  // namespace host_model
