// QMfcApp: the Qt application the module's widgets need, living inside the host's own loop.
//
// Hosts load modules on scanning threads and in processes without a display, so nothing happens
// at load: the application is made when the editor is first wanted, on the host's user-interface
// thread, and only when there is none yet and an X display can be opened (Qt aborts the whole
// process otherwise). A Qt 6 host's own application is used as it is.
#pragma once

class QMfcApp {
 public:
  // Provides an application that can show widgets: the host's, or one made now; false without a
  // display.
  static bool pluginInstance();
  // Called right after the module made its application (the module registers its unload hook).
  static void onCreated(void (*callback)());
  // True while the application in use is the one the module made.
  static bool ownsInstance();
  // Runs pending events and timers of the module's own application. A Qt host's loop, or a glib
  // loop, runs them by itself; nesting a second loop inside it would re-enter the host.
  static void processEvents();
  // Deletes the module's own application, at the module's unload.
  static void release();
};
