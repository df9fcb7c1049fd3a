#include "gtk3_widget.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace zaltrim_gtk3 {

namespace {

const char* const kTimerKey = "zaltrim-timer";

void on_realize(GtkWidget* widget, gpointer data) {
  const auto* events = static_cast<const WidgetEvents*>(data);
  GdkWindow* window = gtk_widget_get_window(widget);
  // GTK 3 draws a child widget into its top-level's X window; the panel needs one of its own.
  if (!window || !gdk_window_ensure_native(window)) return;
  // The window is made through GDK's own connection to the X server, the panel's is Qt's: until
  // the server has made it, Qt's request to put the panel inside fails (BadWindow) and the panel
  // stays a window of its own at the screen's top left.
  gdk_display_sync(gdk_window_get_display(window));
  events->realized(events->context, static_cast<std::uintptr_t>(gdk_x11_window_get_xid(window)));
}

void on_unrealize(GtkWidget*, gpointer data) {
  const auto* events = static_cast<const WidgetEvents*>(data);
  events->unrealized(events->context);
}

gboolean on_tick(gpointer data) {
  const auto* events = static_cast<const WidgetEvents*>(data);
  events->tick(events->context);
  return G_SOURCE_CONTINUE;
}

const char* const kAreaKey = "zaltrim-area";

}  // namespace

void* widget_new(int width, int height, const WidgetEvents& events) {
  // The host sizes the widget it gets as it likes (wxWidgets sets its size request to the room in
  // the dialog), so the panel's own area sits centred in a box that takes that size and, having
  // no window, leaves the rest for the host to paint.
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  g_object_ref_sink(box);
  GtkWidget* area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, width, height);
  gtk_widget_set_halign(area, GTK_ALIGN_CENTER);
  gtk_widget_set_valign(area, GTK_ALIGN_CENTER);
  gtk_box_pack_start(GTK_BOX(box), area, TRUE, TRUE, 0);
  // Held as well: a host destroying its window destroys the area with it, before cleanup.
  g_object_ref(area);
  // The events outlive the widget's reports: the caller keeps them until widget_free.
  gpointer data = const_cast<WidgetEvents*>(&events);
  g_signal_connect(area, "realize", G_CALLBACK(on_realize), data);
  g_signal_connect(area, "unrealize", G_CALLBACK(on_unrealize), data);
  const guint timer = g_timeout_add(events.interval_ms, on_tick, data);
  g_object_set_data(G_OBJECT(box), kTimerKey, GUINT_TO_POINTER(timer));
  g_object_set_data(G_OBJECT(box), kAreaKey, area);
  return box;
}

void widget_free(void* widget, const WidgetEvents& events) {
  auto* box = static_cast<GtkWidget*>(widget);
  g_source_remove(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(box), kTimerKey)));
  auto* area = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(box), kAreaKey));
  g_signal_handlers_disconnect_by_data(area, const_cast<WidgetEvents*>(&events));
  g_object_unref(area);
  g_object_unref(box);
}

}  // namespace zaltrim_gtk3
