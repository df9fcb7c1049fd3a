#include "qwinwidget.h"

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
}

WId QWinWidget::nativeParentWindow() const { return foreign_parent ? foreign_parent->winId() : 0; }
