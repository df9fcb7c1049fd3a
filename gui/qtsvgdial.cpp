#include "qtsvgdial.h"

#include <QLabel>
#include <QPainter>

#include "dialcontrol.h"
#include "qtbasicdialgauge.h"
#include "skin.h"

QtSVGDial::QtSVGDial(QWidget* parent) : QAbstractSlider(parent) {
  const DialControl::Innards innards = DialControl::build(this);
  gauge = innards.gauge;
  label = innards.label;
  connect(this, &QAbstractSlider::valueChanged, this, &QtSVGDial::updateLabelValue);
}

QtSVGDial::~QtSVGDial() = default;

void QtSVGDial::setSkin(const QString& skin) {
  skinName = skin;
  DialControl::applySkin(Skin::dialDirectory(skinName), label, background, hoverBackground);
  updateGeometry();
  update();
}

QString QtSVGDial::skin() const { return skinName; }

void QtSVGDial::updateLabelValue() { label->setText(QString::number(value() * 0.1, 'g', 6)); }

void QtSVGDial::mousePressEvent(QMouseEvent* event) { DialControl::press(*this, event); }

void QtSVGDial::mouseReleaseEvent(QMouseEvent* event) { DialControl::release(*this, event); }

void QtSVGDial::mouseMoveEvent(QMouseEvent* event) { DialControl::move(*this, event); }

void QtSVGDial::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Skin::playStretched(painter, *this, testAttribute(Qt::WA_UnderMouse) ? hoverBackground : background);
}
