// Fitting the host's editor window to the panel, over Xlib with Qt's own X connection.
//
// On X11 a top-level window's frame belongs to the window manager, so the host window itself is
// the client area: resizing it to the panel's size makes the client area exactly the panel, and
// leaving its position alone keeps the window where the user put it (moving it to its own root
// coordinates would shift it by the frame under a reparenting window manager).
#pragma once

#include <QSize>
#include <QWidget>

namespace platform {

// The widget's size in the host window's pixels, which differ from Qt's at a scale above 1.
QSize device_size(const QWidget& widget);

// Resizes the host window so that its client area becomes `size`, keeping its position.
void fit_client_area(WId window, const QSize& size);

}  // namespace platform
