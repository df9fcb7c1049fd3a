#include "host_window.h"

#include <QGuiApplication>
#include <cmath>

// Xlib last: its macros (None, Bool, Status) clash with Qt's headers.
#include <X11/Xlib.h>

namespace platform {

QSize device_size(const QWidget& widget) {
  const qreal ratio = widget.devicePixelRatioF();
  return QSize(static_cast<int>(std::lround(widget.width() * ratio)),
               static_cast<int>(std::lround(widget.height() * ratio)));
}

void fit_client_area(WId window, const QSize& size) {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  if (!display || size.isEmpty()) return;
  XResizeWindow(display, static_cast<::Window>(window), static_cast<unsigned int>(size.width()),
                static_cast<unsigned int>(size.height()));
  // Wait until the server has resized it: a host that reads the window's size on its own
  // connection right after the editor opened must see the panel's, not the size it asked for.
  XSync(display, False);
}

}  // namespace platform
