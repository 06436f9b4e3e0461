// Drawing of the program's icon on a 64 x 64 grid, scaled to the wanted size.
#include "window/TarvixIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr qreal kGrid = 64.0;

void PaintBackground(QPainter& painter) {
  QLinearGradient sky(0, 0, 0, kGrid);
  sky.setColorAt(0, QColor(0x2e, 0x75, 0xb6));
  sky.setColorAt(1, QColor(0x1a, 0x3f, 0x6b));
  painter.setPen(Qt::NoPen);
  painter.setBrush(sky);
  painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
}

void PaintChip(QPainter& painter) {
  // Pins first, so the body covers their inner ends.
  painter.setBrush(QColor(0xd9, 0xd9, 0xd9));
  for (int i = 0; i < 4; ++i) {
    const qreal y = 33 + i * 6;
    painter.drawRect(QRectF(11, y, 8, 3));
    painter.drawRect(QRectF(45, y, 8, 3));
  }
  painter.setBrush(QColor(0x26, 0x26, 0x26));
  painter.drawRoundedRect(QRectF(16, 30, 32, 27), 3, 3);
  // Notch and the label stripe of the ROM.
  painter.setBrush(QColor(0x59, 0x59, 0x59));
  painter.drawEllipse(QPointF(21, 35), 2, 2);
  painter.setBrush(QColor(0x4c, 0xaf, 0x50));
  painter.drawRect(QRectF(22, 44, 20, 4));
}

void PaintArrow(QPainter& painter) {
  QPainterPath arrow;
  arrow.moveTo(27, 7);
  arrow.lineTo(37, 7);
  arrow.lineTo(37, 19);
  arrow.lineTo(44, 19);
  arrow.lineTo(32, 31);
  arrow.lineTo(20, 19);
  arrow.lineTo(27, 19);
  arrow.closeSubpath();
  painter.setPen(QPen(QColor(0x7f, 0x3f, 0x00), 1.2));
  painter.setBrush(QColor(0xff, 0x9f, 0x1c));
  painter.drawPath(arrow);
}

}  // namespace

QImage PaintTarvixIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / kGrid, size / kGrid);
  PaintBackground(painter);
  PaintChip(painter);
  PaintArrow(painter);
  return image;
}

QIcon TarvixIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(PaintTarvixIcon(size)));
  return icon;
}
