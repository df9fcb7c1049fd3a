// The Xlib side of a host that runs no toolkit loop: a display connection of its own, the windows
// it makes for a plug-in's panel, and a loop that serves them while it calls the plug-in at its
// own pace, all on the calling thread.
#pragma once

#include <functional>

struct _XDisplay;

namespace host_model {

class XlibWindows {
 public:
  // Opens the display DISPLAY names; ok() tells whether there was one.
  XlibWindows();
  ~XlibWindows();
  XlibWindows(const XlibWindows&) = delete;
  XlibWindows& operator=(const XlibWindows&) = delete;

  bool ok() const { return display != nullptr; }

  // A mapped top-level window of `width` x `height` pixels, or 0 without a display.
  unsigned long make_window(int width, int height);
  void destroy_window(unsigned long window);
  void resize_window(unsigned long window, int width, int height);

  // Lets `milliseconds` pass: takes whatever the server sent and calls `call` every `period_ms`,
  // sleeping 5 ms between rounds.
  void pump(int milliseconds, int period_ms, const std::function<void()>& call);

 private:
  _XDisplay* display;
};

}  // namespace host_model
