// zaltrim-gallery: every control of the widget kit in one window on the Darov skin, for looking at
// the artwork and for screenshots.
//   zaltrim-gallery               show the window
//   zaltrim-gallery --popup       also open the scroll dial's pop-up
//   zaltrim-gallery --grab FILE   save the window, with the opened pop-up beside it, as a PNG and
//                                 quit (works offscreen)
#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <utility>

#include "qtbasicdialgauge.h"
#include "qtscrolldial.h"
#include "qtscrollwheel.h"
#include "qtsvgdial.h"
#include "scrolldialpopup.h"

namespace {

const char* const kSkin = "Darov";

QLabel* caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignHCenter);
  label->setStyleSheet("color: #c9ccd2;");
  label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  return label;
}

struct Gallery {
  QWidget window;
  QtSVGDial* dial;
  QtScrollDial* scrollDial;
  QtBasicDialGauge* gauge;
  QtScrollWheel* wheel;

  Gallery() {
    window.setWindowTitle("Zaltrim widget gallery");
    window.setStyleSheet("background-color: #232428;");
    auto* row = new QHBoxLayout(&window);
    row->setContentsMargins(24, 20, 24, 20);
    row->setSpacing(28);

    dial = new QtSVGDial(&window);
    dial->setSkin(kSkin);
    dial->setRange(-400, 400);
    dial->setValue(123);

    scrollDial = new QtScrollDial(&window);
    scrollDial->setSkin(kSkin);
    scrollDial->setRange(0, 127);
    scrollDial->setValue(96);

    gauge = new QtBasicDialGauge(&window);
    gauge->setRange(-400, 400);
    gauge->setValue(-150);

    wheel = new QtScrollWheel(&window);
    wheel->setSkin(kSkin);
    wheel->setRange(0, 99);
    wheel->setValue(40);
    auto* wheelValue = caption(QString::number(wheel->value()), &window);
    QObject::connect(wheel, &QAbstractSlider::valueChanged, wheelValue,
                     [wheelValue](int value) { wheelValue->setText(QString::number(value)); });

    const std::pair<QWidget*, const char*> controls[] = {
        {dial, "SVG dial"}, {scrollDial, "Scroll dial"}, {gauge, "Gauge"}, {wheel, "Scroll wheel"}};
    for (const auto& [control, name] : controls) {
      auto* column = new QVBoxLayout;
      column->setSpacing(6);
      column->addWidget(control, 0, Qt::AlignHCenter);
      column->addWidget(caption(name, &window));
      if (control == wheel) column->addWidget(wheelValue);
      column->addStretch();
      row->addLayout(column);
    }
  }
};

// The window and the scroll dial's pop-up side by side in one picture.
QImage composed(Gallery& gallery) {
  gallery.window.show();
  gallery.scrollDial->showPopup();
  QApplication::processEvents();
  auto* popup = gallery.scrollDial->findChild<ScrollDialPopup*>();
  const QPixmap window = gallery.window.grab();
  const QPixmap popupPicture = popup->grab();
  QImage picture(window.width() + popupPicture.width(), qMax(window.height(), popupPicture.height()),
                 QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.drawPixmap(0, 0, window);
  painter.setClipRegion(popup->mask().isEmpty() ? QRegion(popupPicture.rect())
                                                : popup->mask().translated(window.width(), 0));
  painter.drawPixmap(window.width(), 0, popupPicture);
  return picture;
}

int grab(Gallery& gallery, const QString& file) {
  if (!composed(gallery).save(file, "PNG")) {
    std::fprintf(stderr, "zaltrim-gallery: cannot write %s\n", qPrintable(file));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments();
  Gallery gallery;

  const int grabAt = arguments.indexOf("--grab");
  if (grabAt > 0) {
    if (grabAt + 1 >= arguments.size()) {
      std::fprintf(stderr, "zaltrim-gallery: --grab needs a file name\n");
      return 2;
    }
    return grab(gallery, arguments.at(grabAt + 1));
  }

  gallery.window.move(40, 40);
  gallery.window.show();
  if (arguments.contains("--popup")) QTimer::singleShot(300, gallery.scrollDial, &QtScrollDial::showPopup);
  return app.exec();
}
