// What the widget tests share: the application they run in, the solid-colour test skin, and
// synthesised input.
#pragma once

#include <QColor>
#include <QMouseEvent>
#include <QPoint>
#include <QWheelEvent>
#include <QWidget>

namespace gui_test {

// The test skin "Flat" paints each file in one solid colour.
inline const QString kFlatSkin = "Flat";
inline const QColor kFace(0xff, 0x00, 0x00);
inline const QColor kHoverFace(0x00, 0xff, 0x00);
inline const QColor kPopupBackground(0x00, 0x00, 0xff);
inline const QColor kWheelFrames[3] = {QColor(0xff, 0x80, 0x00), QColor(0x00, 0x80, 0xff), QColor(0x80, 0xff, 0x00)};
// A skin name with no files anywhere.
inline const QString kMissingSkin = "Nowhere";

// One pixel of the widget rendered as it would be on screen, children included.
QColor pixel(QWidget& widget, QPoint position);

// Sends one mouse event of the given type directly to the widget; returns whether it was accepted.
bool sendMouse(QWidget& widget, QEvent::Type type, QPoint position, Qt::MouseButton button, Qt::MouseButtons buttons);
// Sends a vertical wheel event with the given angle delta; returns whether it was accepted.
bool sendWheel(QWidget& widget, int angleDelta, QPoint position = QPoint(5, 5));

}  // namespace gui_test
