// QMfcApp: the Qt application the module's widgets need, living inside the host's own loop.
//
// Hosts load modules on scanning threads and in processes without a display, so nothing happens
// at load: the application is made when the editor is first wanted, on the thread that sends the
// editor's requests, and only when there is none yet and an X display can be opened (Qt aborts
// the whole process otherwise). A Qt 6 host's own application is used as it is.
//
// The application the module makes runs its events only when the host sends the editor its idle
// calls, on that same thread. It never joins a GLib loop of the host's: a GTK host may send the
// editor's requests from a thread other than the one that runs its GLib loop, and Qt's events
// dispatched from that loop would then run on the wrong thread.
#pragma once

class QMfcApp {
 public:
  // Provides an application that can show widgets on this thread: the host's, or one made now;
  // false without a display, when Qt cannot start on it, or when the application lives on
  // another thread.
  static bool pluginInstance();
  // True while the application in use is the one the module made.
  static bool ownsInstance();
  // Runs pending events and timers of the module's own application. A Qt host's loop runs them
  // by itself; nesting a second loop inside it would re-enter the host.
  static void processEvents();
  // Every open editor of the module, or of the project's other module in the same host, counts
  // as a client. When the last one closes, on the thread that drives the editors, the module's
  // own application goes (unless it is kept for the process, see keptForProcess): everything Qt made for it (its timers, its caches) is undone on its own
  // thread, and nothing of it is left for the process's exit, when Qt's own globals are already
  // partly gone.
  static void addClient();
  static void removeClient();
  // Deletes the module's own application now, from its own thread; not one kept for the process.
  static void release();
  // True when the module's own application stays until the process ends: it was made in a
  // process that also runs Qt 5 (a Qt 5 host), whose Xlib extension hooks its display shares.
  static bool keptForProcess();
};
