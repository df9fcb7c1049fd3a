#include "xlib_windows.h"

#include <X11/Xlib.h>

#include <chrono>
#include <thread>

namespace host_model {

XlibWindows::XlibWindows() : display(XOpenDisplay(nullptr)) {}

XlibWindows::~XlibWindows() {
  if (display) XCloseDisplay(display);
}

unsigned long XlibWindows::make_window(int width, int height) {
  if (!display) return 0;
  const int screen = DefaultScreen(display);
  const ::Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, BlackPixel(display, screen), BlackPixel(display, screen));
  XMapWindow(display, window);
  XSync(display, False);
  return window;
}

void XlibWindows::destroy_window(unsigned long window) {
  XDestroyWindow(display, window);
  XSync(display, False);
}

void XlibWindows::resize_window(unsigned long window, int width, int height) {
  XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(display, False);
}

void XlibWindows::pump(int milliseconds, int period_ms, const std::function<void()>& call) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
  auto next_call = Clock::now();
  while (Clock::now() < end) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
    }
    if (Clock::now() >= next_call) {
      call();
      next_call += std::chrono::milliseconds(period_ms);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace host_model
