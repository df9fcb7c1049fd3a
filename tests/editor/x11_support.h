// What the editor's X11 tests share: a host window made with Xlib alone, as a plain X11 host
// makes one, and the live heap, to show that something does or does not grow.
#pragma once

#include <X11/Xlib.h>
#include <malloc.h>

#include <cstddef>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime; GCC ships no header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace editor_test {

// Bytes handed out by malloc and not yet freed. Under AddressSanitizer the sanitizer's own count,
// which leaves out the freed memory it holds back in quarantine.
inline std::size_t live_heap_bytes() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

struct Geometry {
  int x, y;  // in root coordinates
  int width, height;
};

class HostWindow {
 public:
  HostWindow(int x, int y, int width, int height) : display(XOpenDisplay(nullptr)) {
    if (!display) return;
    const int screen = DefaultScreen(display);
    window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned int>(width),
                                 static_cast<unsigned int>(height), 0, BlackPixel(display, screen),
                                 BlackPixel(display, screen));
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XEvent event;
    do XWindowEvent(display, window, StructureNotifyMask, &event);
    while (event.type != MapNotify);
  }
  ~HostWindow() {
    if (!display) return;
    XDestroyWindow(display, window);
    XCloseDisplay(display);
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool ok() const { return display != nullptr; }
  void* handle() const { return reinterpret_cast<void*>(window); }

  Geometry geometry() const {
    XSync(display, False);
    ::Window root, child;
    int x, y, root_x, root_y;
    unsigned int width, height, border, depth;
    XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth);
    XTranslateCoordinates(display, window, root, 0, 0, &root_x, &root_y, &child);
    return {root_x, root_y, static_cast<int>(width), static_cast<int>(height)};
  }

  // The windows inside it: the embedded editor's, when it is open.
  std::vector<::Window> children() const {
    XSync(display, False);
    ::Window root, parent, *list = nullptr;
    unsigned int count = 0;
    XQueryTree(display, window, &root, &parent, &list, &count);
    std::vector<::Window> found(list, list + count);
    if (list) XFree(list);
    return found;
  }

 private:
  Display* display;
  ::Window window = 0;
};

}  // namespace editor_test
