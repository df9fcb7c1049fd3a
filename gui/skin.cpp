#include "skin.h"

#include <QPainter>
#include <QRectF>
#include <QSvgRenderer>
#include <QWidget>

namespace Skin {

QString dialDirectory(const QString& skin) { return ":/scrolldial/" + skin + "/"; }

QString wheelFramePath(const QString& skin, int frame) {
  return ":/scrollwheel/" + skin + "/" + QString("wheel_%1.svg").arg(frame);
}

QString labelStyleSheet(const QString& directory) {
  return "color: white; border-width: 2px;border-image: url(" + directory + "label.svg);";
}

void record(QSvgRenderer& renderer, const QString& path, QPicture& picture) {
  picture = QPicture();
  if (!renderer.load(path)) return;
  QPainter painter(&picture);
  renderer.render(&painter, QRectF(0, 0, 1, 1));
  painter.end();
}

void playStretched(QPainter& painter, const QWidget& widget, const QPicture& picture) {
  painter.save();
  painter.scale(widget.width(), widget.height());
  painter.drawPicture(0, 0, picture);
  painter.restore();
}

void initPainterFrom(QPainter& painter, const QWidget& widget) {
  const QPalette& palette = widget.palette();
  painter.setPen(palette.color(widget.foregroundRole()));
  painter.setBackground(palette.brush(widget.backgroundRole()));
  painter.setFont(widget.font());
}

}  // namespace Skin
