#include "qtscrolldial.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "dialcontrol.h"
#include "qtbasicdialgauge.h"
#include "scrolldialpopup.h"
#include "skin.h"

namespace {

constexpr int kPopupRaise = 15;

}  // namespace

QtScrollDial::QtScrollDial(QWidget* parent) : QAbstractSlider(parent) {
  const DialControl::Innards innards = DialControl::build(this);
  gauge = innards.gauge;
  label = innards.label;
  connect(this, &QAbstractSlider::valueChanged, this, &QtScrollDial::updateLabelValue);
  popup = new ScrollDialPopup(this);
  popup->setWindowFlags(windowFlags() | Qt::Popup);
}

QtScrollDial::~QtScrollDial() = default;

void QtScrollDial::setSkin(const QString& skin) {
  skinName = skin;
  const QString directory = Skin::dialDirectory(skinName);
  popup->setSkin(skinName);
  DialControl::applySkin(directory, label, background, hoverBackground);
  updateGeometry();
  update();
}

QString QtScrollDial::skin() const { return skinName; }

void QtScrollDial::updateLabelValue() { label->setText(QString::number(value())); }

QPoint QtScrollDial::popupPosition() const {
  const QSize hint = popup->sizeHint();
  // The whole screen the dial is on; QRect's right and bottom are inclusive.
  const QRect desktop = screen()->geometry();
  QPoint p = mapToGlobal(QPoint(rect().right(), -kPopupRaise));
  if (p.x() + hint.width() > desktop.right()) p.setX(p.x() - width() - hint.width());
  if (p.x() + hint.width() > desktop.right()) p.setX(desktop.right() - hint.width());
  if (p.x() < desktop.left()) p.setX(desktop.left());
  if (p.y() < desktop.top()) p.setY(desktop.top());
  if (p.y() + hint.height() > desktop.bottom()) p.setY(desktop.bottom() - hint.height());
  return p;
}

void QtScrollDial::showPopup() {
  popup->setRange(minimum(), maximum());
  popup->setValue(value());
  popup->move(popupPosition());
  popup->show();
  update();
}

void QtScrollDial::mousePressEvent(QMouseEvent* event) { DialControl::press(*this, event); }

void QtScrollDial::mouseReleaseEvent(QMouseEvent* event) { DialControl::release(*this, event); }

void QtScrollDial::mouseMoveEvent(QMouseEvent* event) { DialControl::move(*this, event); }

void QtScrollDial::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  event->accept();
  showPopup();
}

void QtScrollDial::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool lit = testAttribute(Qt::WA_UnderMouse) || popup->testAttribute(Qt::WA_WState_Visible);
  Skin::playStretched(painter, *this, lit ? hoverBackground : background);
}
