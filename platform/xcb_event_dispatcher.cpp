#include "xcb_event_dispatcher.h"

#include <QtCore/private/qeventdispatcher_unix_p.h>
#include <dlfcn.h>
#include <qpa/qplatformscreen.h>
#include <qpa/qwindowsysteminterface.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

// Qt's xcb platform installs no headers. Each of its platform objects, its screens among them,
// derives from this class, whose one member is the platform's X connection; it is declared here
// only to find that connection.
class QXcbConnection;
class QXcbObject {
 public:
  QXcbConnection* connection;
};

namespace {

constexpr const char* kXcbLibrary = "libQt6XcbQpa.so.6";
// QXcbConnection::processXcbEvents(QEventLoop::ProcessEventsFlags), exported by that library:
// it turns the queued X events into Qt's window-system events.
constexpr const char* kProcessXcbEvents =
    "_ZN14QXcbConnection16processXcbEventsE6QFlagsIN10QEventLoop17ProcessEventsFlagEE";
using ProcessXcbEvents = void (*)(QXcbConnection*, QEventLoop::ProcessEventsFlags);

// Looked up on every pass: the connection lives as long as the application, its screens as long as
// their monitors.
QXcbConnection* xcb_connection() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const auto* object = screen ? dynamic_cast<const QXcbObject*>(screen->handle()) : nullptr;
  return object ? object->connection : nullptr;
}

class XcbEventDispatcher : public QEventDispatcherUNIX {
 public:
  XcbEventDispatcher(void* library, ProcessXcbEvents process_xcb_events)
      : library(library), process_xcb_events(process_xcb_events) {}
  ~XcbEventDispatcher() override { dlclose(library); }
  XcbEventDispatcher(const XcbEventDispatcher&) = delete;
  XcbEventDispatcher& operator=(const XcbEventDispatcher&) = delete;

  // As the xcb platform's own UNIX dispatcher does: timers, sockets and posted events, then the X
  // events queued meanwhile, then the window-system events they became.
  bool processEvents(QEventLoop::ProcessEventsFlags flags) override {
    const bool sent = QEventDispatcherUNIX::processEvents(flags);
    if (QXcbConnection* connection = xcb_connection()) process_xcb_events(connection, flags);
    return QWindowSystemInterface::sendWindowSystemEvents(flags) || sent;
  }

 private:
  void* library;  // held open for process_xcb_events
  ProcessXcbEvents process_xcb_events;
};

}  // namespace

QAbstractEventDispatcher* create_xcb_event_dispatcher() {
  void* library = dlopen(kXcbLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  void* entry = dlsym(library, kProcessXcbEvents);
  if (!entry) {
    dlclose(library);
    return nullptr;
  }
  return new XcbEventDispatcher(library, reinterpret_cast<ProcessXcbEvents>(entry));
}
