// Draws one SVG document quickly: the document is parsed once per load and rasterised once per
// target size; every other render only copies the cached pixmap. The cache key is the target size
// rounded to whole pixels, and only the last size is kept, so alternating two sizes re-renders.
#pragma once

#include <QObject>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>

class QPainter;

class QtSvgPixmapCache : public QObject {
 public:
  explicit QtSvgPixmapCache(QObject* parent = nullptr);
  explicit QtSvgPixmapCache(const QString& file);
  ~QtSvgPixmapCache() override;

  // Success shows in isValid(); the cached rendering is dropped either way.
  void load(const QString& file);
  bool isValid() const;
  QSize defaultSize() const;
  void render(QPainter* painter, const QRectF& bounds);

  // How many times the document was rasterised since construction: one integer increment per
  // rasterisation, so the cache's behaviour can be checked without timing it.
  int rasterisationCount() const;

 private:
  struct Private;
  std::unique_ptr<Private> d;
};
