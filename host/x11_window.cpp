#include "x11_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

#include "vst_host.h"

namespace zhost {

namespace {

// Scales one colour channel, wherever its mask puts it, to 0..255.
unsigned char channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1UL) == 0) ++shift;
  const unsigned long max = mask >> shift;
  return static_cast<unsigned char>((((pixel & mask) >> shift) * 255UL + max / 2) / max);
}

}  // namespace

X11Window::X11Window(const std::string& title, int width, int height) : display(XOpenDisplay(nullptr)) {
  if (!display) throw HostError("cannot open the X display (DISPLAY is unset or names no running X server)");
  const int screen = DefaultScreen(display);
  window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned int>(width),
                               static_cast<unsigned int>(height), 0, BlackPixel(display, screen),
                               BlackPixel(display, screen));
  XStoreName(display, window, title.c_str());
  delete_atom = XInternAtom(display, "WM_DELETE_WINDOW", False);
  Atom protocols[] = {delete_atom};
  XSetWMProtocols(display, window, protocols, 1);
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  // Wait until it is on the screen: the editor is embedded in a window the user can see.
  XEvent event;
  do XWindowEvent(display, window, StructureNotifyMask, &event);
  while (event.type != MapNotify);
}

X11Window::~X11Window() {
  XDestroyWindow(display, window);
  XCloseDisplay(display);
}

bool X11Window::handle_events() {
  bool open = true;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == ClientMessage && static_cast<unsigned long>(event.xclient.data.l[0]) == delete_atom) open = false;
  }
  return open;
}

RgbImage X11Window::capture() const {
  XSync(display, False);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, window, &attributes);
  // XDestroyImage is a macro, so the deleter wraps it.
  const auto destroy = [](XImage* image) { XDestroyImage(image); };
  const std::unique_ptr<XImage, decltype(destroy)> image(
      XGetImage(display, window, 0, 0, static_cast<unsigned int>(attributes.width),
                static_cast<unsigned int>(attributes.height), AllPlanes, ZPixmap),
      destroy);
  if (!image) throw HostError("cannot read the window's contents from the X server");

  RgbImage rgb{attributes.width, attributes.height, {}};
  rgb.pixels.reserve(static_cast<std::size_t>(rgb.width) * static_cast<std::size_t>(rgb.height) * 3);
  for (int y = 0; y < rgb.height; ++y) {
    for (int x = 0; x < rgb.width; ++x) {
      const unsigned long pixel = XGetPixel(image.get(), x, y);
      rgb.pixels.push_back(channel(pixel, image->red_mask));
      rgb.pixels.push_back(channel(pixel, image->green_mask));
      rgb.pixels.push_back(channel(pixel, image->blue_mask));
    }
  }
  return rgb;
}

}  // namespace zhost
