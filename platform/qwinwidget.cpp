#include "qwinwidget.h"

#include <QGuiApplication>
#include <QWindow>

QWinWidget::QWinWidget(WId nativeParent, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
  if (nativeParent) foreign_parent = QWindow::fromWinId(nativeParent);
}

QWinWidget::~QWinWidget() {
  if (!foreign_parent) return;
  // Deleting the foreign window first would delete our window with it, under QWidget's feet.
  destroy();
  delete foreign_parent;
  // A host destroys its window soon after closing the editor; ours must be gone from the server
  // by then, not waiting in Qt's output buffer for the next event pass.
  QGuiApplication::sync();
}

WId QWinWidget::nativeParentWindow() const { return foreign_parent ? foreign_parent->winId() : 0; }

void QWinWidget::setVisible(bool visible) {
  if (visible && foreign_parent && !embedded) embed();
  QWidget::setVisible(visible);
}

void QWinWidget::embed() {
  // A pop-up (a combo box's list) takes its window's transient parent from this widget's window
  // when its own window is made. Made while ours is still top-level, it gets a valid one; made
  // once ours is inside the host's, Qt refuses the child window with a warning on the host's
  // output. So the pop-ups' windows are made first.
  winId();
  for (QWidget* child : findChildren<QWidget*>())
    if (child->isWindow()) child->winId();
  // Parenting the QWindow (rather than reparenting the X window behind Qt's back) keeps Qt's
  // idea of global coordinates right, so pop-ups and the combo list open where they belong.
  windowHandle()->setParent(foreign_parent);
  embedded = true;
}
