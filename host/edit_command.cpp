// `zaltrim-host edit`: the plug-in's editor in a window of the host's own, as a plain X11 host
// shows it: Xlib only (no Qt on this side), effEditIdle at about 30 Hz from the host's loop, and
// an audio thread that keeps processing silence the whole time.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "cli.h"
#include "png_writer.h"
#include "x11_window.h"
#include "zaltrim_session.h"

namespace zhost {

namespace {

const char* const kEditUsage =
    "usage: zaltrim-host edit [options]\n"
    "\n"
    "Opens the plug-in's editor inside a window of this host's own, while an audio thread processes\n"
    "silence. Closes when the window is closed, or after --close-after-ms.\n"
    "\n"
    "options:\n"
    "  --plugin PATH          the module (default: QtZaltrim.so beside zaltrim-host)\n"
    "  --gain G               input gain, linear (default 1)\n"
    "  --oversampling N       2, 4, 8, 16 or 32 (default 2)\n"
    "  --screenshot FILE.png  write a picture of the window\n"
    "  --after-ms MS          when to take the picture, after the editor opened (default 1000)\n"
    "  --close-after-ms MS    close the editor and quit after MS\n";

using Clock = std::chrono::steady_clock;

constexpr float kSampleRate = 44100.0f;
constexpr VstInt32 kBlockSize = 512;
constexpr auto kIdlePeriod = std::chrono::milliseconds(33);
constexpr auto kEventPoll = std::chrono::milliseconds(5);

struct EditOptions {
  std::string plugin;
  float gain = 1.0f;
  std::int32_t factor = 2;
  std::string screenshot;
  long after_ms = 1000;
  std::optional<long> close_after_ms;
};

long parse_milliseconds(const std::string& option, const std::string& text) {
  const long ms = parse_integer(option, text);
  if (ms < 0) throw UsageError(option + " must not be negative, got " + text);
  return ms;
}

EditOptions parse_edit(const std::vector<std::string>& args) {
  EditOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--plugin") {
      options.plugin = option_value(args, i);
    } else if (arg == "--gain") {
      options.gain = static_cast<float>(parse_number(arg, option_value(args, i)));
      if (!std::isfinite(options.gain)) throw UsageError("--gain must be a finite number");
    } else if (arg == "--oversampling") {
      const long factor = parse_integer(arg, option_value(args, i));
      if (factor != 2 && factor != 4 && factor != 8 && factor != 16 && factor != 32)
        throw UsageError("--oversampling must be 2, 4, 8, 16 or 32, got " + std::to_string(factor));
      options.factor = static_cast<std::int32_t>(factor);
    } else if (arg == "--screenshot") {
      options.screenshot = option_value(args, i);
    } else if (arg == "--after-ms") {
      options.after_ms = parse_milliseconds(arg, option_value(args, i));
    } else if (arg == "--close-after-ms") {
      options.close_after_ms = parse_milliseconds(arg, option_value(args, i));
    } else {
      throw UsageError("edit: unknown option '" + arg + "'");
    }
  }
  if (options.plugin.empty()) options.plugin = default_plugin_path();
  return options;
}

// Processes silence in real-time-sized blocks until stopped, as a host's audio thread does while
// the user works in the editor.
class SilenceThread {
 public:
  explicit SilenceThread(const Plugin& plugin) : worker([this, &plugin] { run(plugin); }) {}
  ~SilenceThread() {
    running = false;
    worker.join();
  }

 private:
  void run(const Plugin& plugin) {
    std::vector<float> input(kBlockSize, 0.0f), output(kBlockSize);
    const auto block_time = std::chrono::microseconds(static_cast<long>(1e6 * kBlockSize / kSampleRate));
    while (running) {
      plugin.process(input.data(), output.data(), kBlockSize);
      std::this_thread::sleep_for(block_time);
    }
  }

  std::atomic<bool> running{true};
  std::thread worker;
};

// The size the editor asks for, or a stand-in for an editor that does not know it yet.
std::pair<int, int> editor_size(const Plugin& plugin) {
  ERect* rect = nullptr;
  if (plugin.dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect || rect->right <= rect->left ||
      rect->bottom <= rect->top)
    return {320, 240};
  return {rect->right - rect->left, rect->bottom - rect->top};
}

void take_screenshot(const X11Window& window, const std::string& path) {
  const RgbImage image = window.capture();
  write_png(path, image);
  std::printf("screenshot: %s (%d x %d)\n", path.c_str(), image.width, image.height);
}

// Whether the picture falls due no later than the timed close. One due after it is never taken,
// even when a slow turn of the loop only gets round to both deadlines together.
bool screenshot_before_close(const EditOptions& options) {
  return !options.close_after_ms || options.after_ms <= *options.close_after_ms;
}

// The host's loop: window events, the editor's idle calls, the screenshot and the timed close.
// False when a screenshot was asked for and the window closed before it was due.
bool run_editor(const Plugin& plugin, X11Window& window, const EditOptions& options) {
  const Clock::time_point opened = Clock::now();
  const bool screenshot_in_time = screenshot_before_close(options);
  bool screenshot_due = !options.screenshot.empty();
  Clock::time_point next_idle = opened;
  while (window.handle_events()) {
    if (Clock::now() >= next_idle) {
      plugin.dispatch(effEditIdle);
      next_idle += kIdlePeriod;
    }
    const auto since_open = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - opened).count();
    if (screenshot_due && screenshot_in_time && since_open >= options.after_ms) {
      take_screenshot(window, options.screenshot);
      screenshot_due = false;
    }
    if (options.close_after_ms && since_open >= *options.close_after_ms) break;
    std::this_thread::sleep_for(kEventPoll);
  }
  return !screenshot_due;
}

}  // namespace

int edit_command(const std::vector<std::string>& args) {
  if (wants_help(args)) {
    std::fputs(kEditUsage, stdout);
    return 0;
  }
  const EditOptions options = parse_edit(args);

  Module module(options.plugin);
  Host host;
  Plugin plugin(module, host);
  if ((plugin.record()->flags & effFlagsHasEditor) == 0) throw HostError("'" + options.plugin + "' has no editor");
  start_effect(plugin, kSampleRate, kBlockSize, options.gain, options.factor);

  const auto [width, height] = editor_size(plugin);
  X11Window window("zaltrim-host: " + plugin.effect_name(), width, height);
  SilenceThread audio(plugin);
  if (plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window.id())) == 0)
    throw HostError("the plug-in could not open its editor");
  const bool pictured = run_editor(plugin, window, options);
  plugin.dispatch(effEditClose);
  if (!pictured) throw HostError("the editor closed before the screenshot was due; nothing was written");
  return 0;
}

}  // namespace zhost
