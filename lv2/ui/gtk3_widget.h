// The GTK 3 side of the GTK 3 UI, apart from the Qt side: GTK's and Xlib's headers and Qt's do not
// go into one file (Xlib's macros and Qt's keywords clash with names in theirs).
#pragma once

#include <cstdint>

namespace zaltrim_gtk3 {

struct WidgetEvents {
  void* context;
  // The widget has a native X window of its own now, `window`, and is about to show it.
  void (*realized)(void* context, std::uintptr_t window);
  // The widget's X window is about to go.
  void (*unrealized)(void* context);
  // Every `interval_ms` of GTK's main loop, as long as the widget lives.
  void (*tick)(void* context);
  unsigned interval_ms;
};

// A GtkWidget* that asks for width x height pixels and reports its window's life to `events`.
// The caller holds a reference to it until widget_free, whatever the host does with it.
void* widget_new(int width, int height, const WidgetEvents& events);
// Stops every report and drops the caller's reference.
void widget_free(void* widget, const WidgetEvents& events);

}  // namespace zaltrim_gtk3
