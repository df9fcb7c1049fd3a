// QWinWidget: a widget that lives inside a host's native window (an X11 Window id), or, with no
// native parent, an ordinary top-level widget, so that the panel can be shown without a host.
#pragma once

#include <QWidget>

class QWindow;

class QWinWidget : public QWidget {
  Q_OBJECT

 public:
  explicit QWinWidget(WId nativeParent = 0, QWidget* parent = nullptr, Qt::WindowFlags flags = {});
  ~QWinWidget() override;

  // The host window the widget is embedded in, or 0.
  WId nativeParentWindow() const;

  // Moves into the host window when first shown, once the subclass has made its children.
  void setVisible(bool visible) override;

 private:
  void embed();

  // Qt's stand-in for the host's window. Our own window is its child, so it must go after ours.
  QWindow* foreign_parent = nullptr;
  bool embedded = false;
};
