#include "qtsvgpixmapcache.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

struct QtSvgPixmapCache::Private {
  QSvgRenderer renderer;
  QPixmap pixmap;  // null while nothing is cached
  int rasterisations = 0;

  // At the device's pixel ratio, so that the copy stays crisp on a high-density screen.
  void rasterise(const QSize& size, qreal pixelRatio) {
    pixmap = QPixmap(size * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);  // the view box stretched over the whole pixmap
    painter.end();
    ++rasterisations;
  }
};

QtSvgPixmapCache::QtSvgPixmapCache(QObject* parent) : QObject(parent), d(std::make_unique<Private>()) {}

QtSvgPixmapCache::QtSvgPixmapCache(const QString& file) : QtSvgPixmapCache() { load(file); }

QtSvgPixmapCache::~QtSvgPixmapCache() = default;

void QtSvgPixmapCache::load(const QString& file) {
  d->renderer.load(file);
  d->pixmap = QPixmap();
}

bool QtSvgPixmapCache::isValid() const { return d->renderer.isValid(); }

QSize QtSvgPixmapCache::defaultSize() const { return d->renderer.defaultSize(); }

void QtSvgPixmapCache::render(QPainter* painter, const QRectF& bounds) {
  if (!d->renderer.isValid()) return;
  const QSize wanted = bounds.size().toSize();
  if (wanted.isEmpty()) return;
  const qreal pixelRatio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
  const bool stale = d->pixmap.isNull() || d->pixmap.deviceIndependentSize().toSize() != wanted ||
                     d->pixmap.devicePixelRatio() != pixelRatio;
  if (stale) d->rasterise(wanted, pixelRatio);
  painter->drawPixmap(bounds.topLeft(), d->pixmap);
}

int QtSvgPixmapCache::rasterisationCount() const { return d->rasterisations; }
