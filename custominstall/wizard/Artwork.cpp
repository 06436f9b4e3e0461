// The wizard's side picture and application icon.
#include "wizard/Artwork.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

namespace {

const QColor kDeepBlue(0x12, 0x2b, 0x5c);
const QColor kTeal(0x1f, 0x8a, 0x94);
const QColor kChip(0x2d, 0x2f, 0x36);
const QColor kPin(0xd8, 0xc0, 0x6a);
const QColor kTrace(0xff, 0xff, 0xff, 0x40);

// A square chip with four pins a side, centred on centre.
void PaintChip(QPainter& painter, QPointF centre, qreal side) {
  const qreal pinLength = side * 0.16;
  const qreal pinWidth = side * 0.09;
  painter.setPen(Qt::NoPen);
  painter.setBrush(kPin);
  for (int i = 0; i < 4; ++i) {
    const qreal offset = -side * 0.33 + i * side * 0.22;
    painter.drawRect(QRectF(centre.x() - side / 2 - pinLength, centre.y() + offset - pinWidth / 2,
                            side + 2 * pinLength, pinWidth));
    painter.drawRect(QRectF(centre.x() + offset - pinWidth / 2, centre.y() - side / 2 - pinLength,
                            pinWidth, side + 2 * pinLength));
  }
  painter.setBrush(kChip);
  painter.drawRoundedRect(QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side),
                          side * 0.08, side * 0.08);
  painter.setBrush(QColor(0xff, 0xff, 0xff, 0x90));
  const qreal dot = side * 0.12;
  painter.drawEllipse(QRectF(centre.x() - side * 0.38, centre.y() - side * 0.38, dot, dot));
}

// The USB trident, pointing up, with its stem from top to bottom.
void PaintUsbSymbol(QPainter& painter, QPointF top, qreal height) {
  QPen pen(QColor(0xff, 0xff, 0xff, 0xd0), height * 0.06, Qt::SolidLine, Qt::RoundCap);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const qreal x = top.x();
  const qreal y = top.y();
  painter.drawLine(QPointF(x, y + height * 0.12), QPointF(x, y + height));
  painter.drawLine(QPointF(x, y + height * 0.62), QPointF(x - height * 0.22, y + height * 0.42));
  painter.drawLine(QPointF(x - height * 0.22, y + height * 0.42),
                   QPointF(x - height * 0.22, y + height * 0.32));
  painter.drawLine(QPointF(x, y + height * 0.72), QPointF(x + height * 0.22, y + height * 0.52));
  painter.drawLine(QPointF(x + height * 0.22, y + height * 0.52),
                   QPointF(x + height * 0.22, y + height * 0.40));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xff, 0xff, 0xff, 0xd0));
  QPainterPath arrow;
  arrow.moveTo(x, y);
  arrow.lineTo(x - height * 0.09, y + height * 0.15);
  arrow.lineTo(x + height * 0.09, y + height * 0.15);
  arrow.closeSubpath();
  painter.drawPath(arrow);
  const qreal r = height * 0.06;
  painter.drawEllipse(QPointF(x - height * 0.22, y + height * 0.30), r, r);
  painter.drawRect(QRectF(x + height * 0.22 - r, y + height * 0.40 - 2 * r, 2 * r, 2 * r));
  painter.drawEllipse(QPointF(x, y + height), r * 1.4, r * 1.4);
}

}  // namespace

QPixmap SidePicture(QSize size, qreal devicePixelRatio) {
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal w = size.width();
  const qreal h = size.height();

  QLinearGradient background(0, 0, 0, h);
  background.setColorAt(0.0, kDeepBlue);
  background.setColorAt(1.0, kTeal);
  painter.fillRect(QRectF(0, 0, w, h), background);

  // Circuit traces running down the strip.
  painter.setPen(QPen(kTrace, qMax(1.0, w * 0.03)));
  for (int i = 1; i <= 3; ++i) {
    const qreal x = w * i / 4.0;
    const qreal bend = h * (0.30 + 0.08 * i);
    painter.drawLine(QPointF(x, h * 0.22), QPointF(x, bend));
    painter.drawLine(QPointF(x, bend), QPointF(x + (i - 2) * w * 0.12, bend + w * 0.12));
    painter.drawLine(QPointF(x + (i - 2) * w * 0.12, bend + w * 0.12),
                     QPointF(x + (i - 2) * w * 0.12, h * 0.62));
  }

  PaintChip(painter, QPointF(w / 2, w * 0.62), w * 0.52);
  PaintUsbSymbol(painter, QPointF(w / 2, h * 0.66), w * 0.62);

  // The product name, reading upwards along the strip.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(qMax(8, static_cast<int>(w * 0.42)));
  painter.setFont(font);
  painter.setPen(QColor(0xff, 0xff, 0xff, 0xe8));
  painter.save();
  painter.translate(w * 0.5, h * 0.60);
  painter.rotate(-90);
  painter.drawText(QRectF(0, -w * 0.5, h * 0.40, w), Qt::AlignCenter, QStringLiteral("VB7350"));
  painter.restore();
  return pixmap;
}

QIcon AppIcon() {
  QIcon icon;
  for (const int side : {16, 32, 48, 64, 128}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = side;
    QLinearGradient background(0, 0, 0, s);
    background.setColorAt(0.0, kDeepBlue);
    background.setColorAt(1.0, kTeal);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.18, s * 0.18);
    PaintChip(painter, QPointF(s * 0.42, s * 0.42), s * 0.40);
    // An arrow out of the chip into a box: the package the wizard writes.
    painter.setBrush(kPin);
    painter.drawRect(QRectF(s * 0.58, s * 0.66, s * 0.28, s * 0.20));
    QPainterPath arrow;
    arrow.moveTo(s * 0.72, s * 0.62);
    arrow.lineTo(s * 0.62, s * 0.50);
    arrow.lineTo(s * 0.68, s * 0.50);
    arrow.lineTo(s * 0.68, s * 0.40);
    arrow.lineTo(s * 0.76, s * 0.40);
    arrow.lineTo(s * 0.76, s * 0.50);
    arrow.lineTo(s * 0.82, s * 0.50);
    arrow.closeSubpath();
    painter.setBrush(QColor(0xff, 0xff, 0xff, 0xe0));
    painter.drawPath(arrow);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}
