#include "qmfcapp.h"

#include <QApplication>
#include <QByteArray>
#include <QLibraryInfo>
#include <algorithm>
#include <array>

// Xlib last: its macros (None, Bool, Status) clash with Qt's headers.
#include <X11/Xlib.h>

namespace {

bool module_created = false;
void (*created_callback)() = nullptr;

bool display_available() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XCloseDisplay(display);
  return true;
}

void create_application() {
  // Qt keeps argc and argv for the application's lifetime. xcb, because on a Wayland session Qt
  // would pick Wayland, where a panel cannot live inside a foreign window. Plug-in search paths
  // are emptied and only Qt's platform folder is named, so no platform theme loads GTK 3 into a
  // host that may already run GTK 2.
  static char name[] = "QtZaltrim";
  static char platform_option[] = "-platform";
  static char platform_name[] = "xcb";
  static char plugin_path_option[] = "-platformpluginpath";
  static QByteArray platforms_folder = (QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms").toLocal8Bit();
  // Qt takes out the options it read, so both are laid anew for every application made.
  static char* argv[6];
  static int argc;
  argc = 5;
  const std::array<char*, 6> options = {
      name, platform_option, platform_name, plugin_path_option, platforms_folder.data(), nullptr};
  std::copy(options.begin(), options.end(), argv);

  QCoreApplication::setLibraryPaths({});
  auto* application = new QApplication(argc, argv);
  application->setQuitOnLastWindowClosed(false);
  module_created = true;
  if (created_callback) created_callback();
}

}  // namespace

bool QMfcApp::pluginInstance() {
  if (!QCoreApplication::instance()) {
    if (!display_available()) return false;
    create_application();
  }
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void QMfcApp::onCreated(void (*callback)()) { created_callback = callback; }

bool QMfcApp::ownsInstance() { return module_created && QCoreApplication::instance(); }

void QMfcApp::processEvents() {
  if (!ownsInstance()) return;
  QCoreApplication::processEvents();
  // Outside any event loop deferred deletions (a closed about box) would wait for one.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QMfcApp::release() {
  if (!ownsInstance()) return;
  delete QCoreApplication::instance();
  module_created = false;
}
