// What every skinned widget of the kit does with its skin: build the resource paths from the skin
// name, record SVG documents into unit-square pictures and play them back stretched to the widget.
#pragma once

#include <QPicture>
#include <QString>

class QLabel;
class QPainter;
class QSvgRenderer;
class QWidget;

namespace Skin {

// ":/scrolldial/<skin>/": the folder of the dial family's files (dials, pop-up, close button).
QString dialDirectory(const QString& skin);

// ":/scrollwheel/<skin>/wheel_<frame>.svg", frame 1, 2 or 3.
QString wheelFramePath(const QString& skin, int frame);

// The value labels' look: white text on the skin's label border image.
QString labelStyleSheet(const QString& directory);

// Loads the file into the renderer and records it at the unit square (0, 0, 1, 1). The picture is
// emptied first, so a file that does not load leaves it empty rather than keeping an old skin.
void record(QSvgRenderer& renderer, const QString& path, QPicture& picture);

// Plays a unit-square picture stretched over the whole widget (aspect ratio not kept).
void playStretched(QPainter& painter, const QWidget& widget, const QPicture& picture);

// Gives a painter on an off-screen device the pen, background and font the widget would give it.
void initPainterFrom(QPainter& painter, const QWidget& widget);

}  // namespace Skin
