#include "scrolldialpopup.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QBitmap>
#include <QFontInfo>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "qtbasicdialgauge.h"
#include "qtscrollwheel.h"
#include "skin.h"

namespace {

constexpr int kGaugeSide = 60;
constexpr int kLabelMinimumWidth = 40;
constexpr int kCloseButtonSide = 50;
constexpr int kSpacingAboveGauge = 10;
constexpr int kSpacingAboveWheel = 4;

}  // namespace

PopupCloseButton::PopupCloseButton(QWidget* parent) : QAbstractButton(parent) { setAttribute(Qt::WA_Hover); }

PopupCloseButton::~PopupCloseButton() = default;

void PopupCloseButton::setSkin(const QString& skin) {
  skinName = skin;
  const QString directory = Skin::dialDirectory(skinName);
  QSvgRenderer renderer;
  Skin::record(renderer, directory + "closebutton_normal.svg", normalPicture);
  Skin::record(renderer, directory + "closebutton_hovered.svg", hoveredPicture);
  Skin::record(renderer, directory + "closebutton_pressed.svg", pressedPicture);
  updateGeometry();
  update();
}

QString PopupCloseButton::skin() const { return skinName; }

void PopupCloseButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPicture& picture =
      isDown() ? pressedPicture : (testAttribute(Qt::WA_UnderMouse) ? hoveredPicture : normalPicture);
  Skin::playStretched(painter, *this, picture);
}

ScrollDialPopup::ScrollDialPopup(QWidget* parent) : QWidget(parent), dial(qobject_cast<QAbstractSlider*>(parent)) {
  setStyleSheet("background-color: rgb(128,128,128);\n");
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(0);
  layout->setContentsMargins(30, 30, 30, 8);

  gauge = new QtBasicDialGauge(this);
  gauge->setFixedSize(kGaugeSide, kGaugeSide);

  label = new QLabel("0", this);
  label->setAlignment(Qt::AlignHCenter);
  label->setMinimumWidth(kLabelMinimumWidth);
  label->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);

  wheel = new QtScrollWheel(this);

  // Placed by hand over the top-right corner, outside the layout.
  closeButton = new PopupCloseButton(this);
  closeButton->setFocusPolicy(Qt::NoFocus);
  closeButton->setFixedSize(kCloseButtonSide, kCloseButtonSide);
  closeButton->raise();

  layout->addSpacing(kSpacingAboveGauge);
  layout->addWidget(gauge, 0, Qt::AlignHCenter);
  layout->addWidget(label, 0, Qt::AlignHCenter);
  layout->addSpacing(kSpacingAboveWheel);
  layout->addWidget(wheel, 0, Qt::AlignHCenter);

  connect(wheel, &QAbstractSlider::valueChanged, this, &ScrollDialPopup::updateLabelValue);
  connect(wheel, &QAbstractSlider::valueChanged, gauge, &QtBasicDialGauge::setValue);
  // Hidden first, then committed: the dial repaints its face once the pop-up is gone.
  connect(closeButton, &QAbstractButton::clicked, this, &QWidget::hide);
  connect(closeButton, &QAbstractButton::clicked, this, &ScrollDialPopup::commitValue);
}

ScrollDialPopup::~ScrollDialPopup() = default;

void ScrollDialPopup::setSkin(const QString& skin) {
  skinName = skin;
  const QString directory = Skin::dialDirectory(skinName);
  wheel->setSkin(skinName);
  // A font set in pixels has no point size of its own; the size it resolves to on screen serves.
  const int pointSize = font().pointSize() > 0 ? font().pointSize() : QFontInfo(font()).pointSize();
  label->setStyleSheet(QString("font: %1pt;").arg(pointSize + 2) + Skin::labelStyleSheet(directory));
  closeButton->setSkin(skinName);
  QSvgRenderer renderer;
  Skin::record(renderer, directory + "popup_background.svg", background);
  // The shape follows the artwork also when the skin changes without a resize.
  updateMask();
  update();
}

QString ScrollDialPopup::skin() const { return skinName; }

void ScrollDialPopup::setRange(int minimum, int maximum) {
  wheel->setRange(minimum, maximum);
  gauge->setRange(minimum, maximum);
}

void ScrollDialPopup::setValue(int value) {
  wheel->setValue(value);
  gauge->setValue(wheel->value());
  label->setText(QString::number(wheel->value()));
}

void ScrollDialPopup::updateLabelValue() { label->setText(QString::number(wheel->value())); }

void ScrollDialPopup::commitValue() {
  if (!dial) return;
  dial->setValue(wheel->value());
  dial->update();
}

void ScrollDialPopup::wheelEvent(QWheelEvent* event) {
  // Sent, not posted: a synthesised wheel event is not propagated back up to this pop-up.
  QApplication::sendEvent(wheel, event);
}

double ScrollDialPopup::inset() const { return closeButton->width() * 0.5 - 1; }

void ScrollDialPopup::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  const double i = inset();
  QPainter painter(this);
  painter.translate(i, i);
  painter.scale(width() - 2 * i, height() - i);
  painter.drawPicture(0, 0, background);
}

void ScrollDialPopup::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (inResize) return;
  inResize = true;
  const int side = closeButton->width();
  closeButton->setGeometry(event->size().width() - side, 0, side, side);
  updateMask();
  inResize = false;
}

void ScrollDialPopup::updateMask() {
  const int w = width();
  const int h = height();
  if (w <= 0 || h <= 0) return;
  const double i = inset();
  QPixmap shape(w, h);
  shape.fill(Qt::transparent);
  QPainter painter(&shape);
  Skin::initPainterFrom(painter, *this);
  painter.translate(i, i);
  painter.scale(w - 2 * i, h - i);
  painter.drawPicture(0, 0, background);
  painter.end();
  closeButton->render(&shape, QPoint(w - closeButton->width(), 0), QRegion(), QWidget::DrawChildren);
  // Rendering the button polishes a pop-up that was never shown, which can lay it out and resize
  // it on the spot: this shape is then stale, so draw it again at the size the pop-up now has.
  if (size() != QSize(w, h)) {
    updateMask();
    return;
  }
  setMask(shape.createHeuristicMask(true));
}

void ScrollDialPopup::hideEvent(QHideEvent* event) {
  // Hidden by the program (the close button, a click outside): the dial drops its lit face.
  if (!event->spontaneous() && dial) dial->update();
}
