// A top-level X11 window of the host's own, made with Xlib alone, as a host that knows nothing of
// Qt makes one for a plug-in's editor: the plug-in gets its Window id and fills it.
#pragma once

#include <string>

#include "png_writer.h"

struct _XDisplay;

namespace zhost {

class X11Window {
 public:
  // Opens the display (DISPLAY) and maps a window of that client size; a HostError without one.
  X11Window(const std::string& title, int width, int height);
  ~X11Window();
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  // The Window id, what effEditOpen takes as its pointer.
  unsigned long id() const { return window; }

  // Handles what the server sent; false once the window manager has asked to close the window.
  bool handle_events();

  // The window's client area as it is on the screen, the plug-in's child window included.
  RgbImage capture() const;

 private:
  _XDisplay* display;
  unsigned long window = 0;
  unsigned long delete_atom = 0;
};

}  // namespace zhost
