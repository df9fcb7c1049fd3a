#include "qwinwidget.h"

#include <QGuiApplication>
#include <QWindow>

QWinWidget::QWinWidget(WId nativeParent, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
  if (!nativeParent) return;
  foreign_parent = QWindow::fromWinId(nativeParent);
  if (!foreign_parent) return;
  // Parenting the QWindow (rather than reparenting the X window behind Qt's back) keeps Qt's
  // idea of global coordinates right, so pop-ups and the combo list open where they belong.
  winId();
  windowHandle()->setParent(foreign_parent);
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
