// What a Qt host does with the windows it gives a plug-in's editor or UI, and how it lets time
// pass: its own loop, run on the main thread. Header only, so that the Qt 6 and the Qt 5 host
// models each build it against their own Qt.
#pragma once

#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>

namespace host_model {

class QtHostWindows {
 public:
  explicit QtHostWindows(const char* title) : title(title) {}

  // Runs the host's loop for `milliseconds`.
  static void pump(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
  }

  // A shown top-level window of `width` x `height` Qt pixels, left to settle: its X window.
  unsigned long make(int width, int height) {
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(title);
    window->resize(width, height);
    window->show();
    pump(200);
    const unsigned long id = window->winId();
    windows[id] = std::move(window);
    return id;
  }

  void destroy(unsigned long id) { windows.erase(id); }

  // The window made as `id`, or null once destroyed.
  QWidget* find(unsigned long id) const {
    const auto found = windows.find(id);
    return found == windows.end() ? nullptr : found->second.get();
  }

 private:
  const char* title;
  std::map<unsigned long, std::unique_ptr<QWidget>> windows;
};

}  // namespace host_model
