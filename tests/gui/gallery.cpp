// zaltrim-gallery: every control of the widget kit in one window on the Darov skin, for looking at
// the artwork and for screenshots.
//   zaltrim-gallery               show the window
//   zaltrim-gallery --popup       also open the scroll dial's pop-up
//   zaltrim-gallery --grab FILE   save the window as a PNG and quit (works offscreen)
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "qtbasicdialgauge.h"
#include "qtscrolldial.h"
#include "qtscrollwheel.h"
#include "qtsvgdial.h"

namespace {

const char* const kSkin = "Darov";

QLabel* caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignHCenter);
  label->setStyleSheet("color: #c9ccd2;");
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
    auto* grid = new QGridLayout(&window);
    grid->setContentsMargins(24, 20, 24, 20);
    grid->setHorizontalSpacing(28);

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

    QWidget* const row[] = {dial, scrollDial, gauge, wheel};
    const char* names[] = {"SVG dial", "Scroll dial", "Gauge", "Scroll wheel"};
    for (int column = 0; column < 4; ++column) {
      grid->addWidget(row[column], 0, column, Qt::AlignHCenter | Qt::AlignTop);
      grid->addWidget(caption(names[column], &window), 1, column);
    }
    grid->addWidget(wheelValue, 2, 3);
  }
};

int grab(Gallery& gallery, const QString& file) {
  gallery.window.show();
  QApplication::processEvents();
  if (!gallery.window.grab().save(file, "PNG")) {
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
