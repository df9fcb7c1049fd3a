#include "qmfcapp.h"

#include <dlfcn.h>

#include <QApplication>
#include <QByteArray>
#include <QLibraryInfo>
#include <QThread>
#include <algorithm>
#include <array>
#include <cstring>

#include "xcb_event_dispatcher.h"

// Xlib last: its macros (None, Bool, Status) clash with Qt's headers.
#include <X11/Xlib.h>

namespace {

// The VST 2 module and the LV2 UI module may be loaded into one host, each with its own copy of
// this file, and share Qt's one application. Whether one of them made it, and how many of their
// editors use it, is therefore kept on the application itself, where both see it.
constexpr const char* kMadeByModule = "zaltrimMadeByModule";
constexpr const char* kClients = "zaltrimClients";
// Set on an application that stays until the process ends (see keep_for_process).
constexpr const char* kKeptForProcess = "zaltrimKeptForProcess";

QByteArray platform_plugins_folder() {
  return (QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms").toLocal8Bit();
}

// Qt ends the whole process when its platform plugin cannot be loaded; find out first.
bool xcb_plugin_loads() {
  void* plugin = dlopen((platform_plugins_folder() + "/libqxcb.so").constData(), RTLD_NOW | RTLD_LOCAL);
  if (!plugin) return false;
  dlclose(plugin);
  return true;
}

// Qt calls its main thread the first thread that made a Qt object: in a host that creates the
// effect on one thread and drives the editor from another, that is not the editor's thread, and
// Qt warns when the application is made there. Everything of the module's Qt side lives on the
// editor's thread, so the warning does not apply; every other message passes through.
class MainThreadWarningFilter {
 public:
  MainThreadWarningFilter() { previous = qInstallMessageHandler(filter); }
  ~MainThreadWarningFilter() { qInstallMessageHandler(previous); }
  MainThreadWarningFilter(const MainThreadWarningFilter&) = delete;
  MainThreadWarningFilter& operator=(const MainThreadWarningFilter&) = delete;

 private:
  static void filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.contains(QLatin1String("was not created in the main() thread"))) return;
    if (previous) {
      previous(type, context, message);
    } else {
      const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
      std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    }
  }
  static inline QtMessageHandler previous = nullptr;
};

// On the thread that is about to make the application, not on Qt's main thread: that is the first
// thread that made a Qt object, which in some hosts is not the editor's.
bool install_event_dispatcher() {
  QAbstractEventDispatcher* dispatcher = create_xcb_event_dispatcher();
  if (!dispatcher) return false;
  QThread::currentThread()->setEventDispatcher(dispatcher);
  return true;
}

// A Qt 5 host (MusE, jalv.qt5) shares the process's Xlib with ours: the close hooks of the
// Xlib extensions that Qt 6's display carries (XFIXES, RENDER, the cursor library's, XKEYBOARD,
// measured in MusE) belong to libraries the host's toolkit uses too, and MusE died in Xlib when
// the module's application closed that display as its panel closed. There the application and
// its display stay until the process ends, and so does the module whose event dispatcher runs
// them; its next panel takes it up again.
bool other_qt_in_process() {
  void* qt5 = dlopen("libQt5Core.so.5", RTLD_NOW | RTLD_NOLOAD);
  if (!qt5) return false;
  dlclose(qt5);
  return true;
}

void keep_for_process(QApplication& application) {
  application.setProperty(kKeptForProcess, true);
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&other_qt_in_process), &self) && self.dli_fname)
    dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

bool create_application() {
  // Qt keeps argc and argv for the application's lifetime. xcb, because on a Wayland session Qt
  // would pick Wayland, where a panel cannot live inside a foreign window. Plug-in search paths
  // are emptied and only Qt's platform folder is named, so no platform theme loads GTK 3 into a
  // host that may already run GTK 2.
  static char name[] = "QtZaltrim";
  static char platform_option[] = "-platform";
  static char platform_name[] = "xcb";
  static char plugin_path_option[] = "-platformpluginpath";
  static QByteArray platforms_folder = platform_plugins_folder();
  // Qt takes out the options it read, so both are laid anew for every application made.
  static char* argv[6];
  static int argc;
  argc = 5;
  const std::array<char*, 6> options = {
      name, platform_option, platform_name, plugin_path_option, platforms_folder.data(), nullptr};
  std::copy(options.begin(), options.end(), argv);

  QCoreApplication::setLibraryPaths({});
  if (!install_event_dispatcher()) return false;
  const MainThreadWarningFilter filter;
  auto* application = new QApplication(argc, argv);
  application->setQuitOnLastWindowClosed(false);
  application->setProperty(kMadeByModule, true);
  if (other_qt_in_process()) keep_for_process(*application);
  return true;
}

// An X server that loses its last client resets and refuses connections for a moment; the
// connection that proved the display is there stays open until Qt has its own.
bool create_application_on_display() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const bool ready = xcb_plugin_loads() && create_application();
  XCloseDisplay(display);
  return ready;
}

bool on_application_thread() { return QCoreApplication::instance()->thread() == QThread::currentThread(); }

int client_count() { return QCoreApplication::instance()->property(kClients).toInt(); }

}  // namespace

bool QMfcApp::pluginInstance() {
  if (!QCoreApplication::instance() && !create_application_on_display()) return false;
  // Widgets live on their application's thread only: an application made for editors driven
  // from another thread (the other module's, in the same host) cannot serve these.
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr && on_application_thread();
}

bool QMfcApp::ownsInstance() {
  return QCoreApplication::instance() && QCoreApplication::instance()->property(kMadeByModule).toBool();
}

void QMfcApp::processEvents() {
  if (!ownsInstance() || !on_application_thread()) return;
  QCoreApplication::processEvents();
  // Outside any event loop deferred deletions (a closed about box) would wait for one.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Editors come and go on the application's thread, so the count needs no lock.
void QMfcApp::addClient() {
  if (ownsInstance()) QCoreApplication::instance()->setProperty(kClients, client_count() + 1);
}

void QMfcApp::removeClient() {
  if (!ownsInstance()) return;
  const int remaining = client_count() - 1;
  QCoreApplication::instance()->setProperty(kClients, remaining);
  if (remaining <= 0) release();
}

bool QMfcApp::keptForProcess() {
  return ownsInstance() && QCoreApplication::instance()->property(kKeptForProcess).toBool();
}

void QMfcApp::release() {
  if (!ownsInstance() || !on_application_thread() || keptForProcess()) return;
  delete QCoreApplication::instance();
}
