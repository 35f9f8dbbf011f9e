// Draws the icon, the splash picture and the About banner.
#include "shell/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "views/views.h"

namespace sorbel::shell {

namespace {

// The icon on a 64-unit square.
void drawIcon(QPainter& p, const QRectF& target) {
  p.save();
  p.translate(target.topLeft());
  p.scale(target.width() / 64.0, target.height() / 64.0);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor drumDark(28, 78, 150), drumLight(74, 144, 226);
  QLinearGradient body(8, 0, 44, 0);
  body.setColorAt(0, drumDark);
  body.setColorAt(0.5, drumLight);
  body.setColorAt(1, drumDark);
  p.setPen(QPen(QColor(20, 50, 100), 1.5));
  for (int band = 2; band >= 0; --band) {
    const double top = 12 + band * 13;
    QPainterPath path;
    path.moveTo(8, top);
    path.lineTo(8, top + 11);
    path.arcTo(QRectF(8, top + 5, 36, 12), 180, 180);
    path.lineTo(44, top);
    path.closeSubpath();
    p.setBrush(body);
    p.drawPath(path);
  }
  p.setBrush(QColor(150, 200, 245));
  p.drawEllipse(QRectF(8, 6, 36, 12));
  // The magnifying glass over the drum's lower right.
  p.setPen(QPen(QColor(120, 70, 10), 6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(50, 50), QPointF(59, 59));
  p.setPen(QPen(QColor(235, 140, 20), 4));
  p.setBrush(QColor(255, 255, 255, 150));
  p.drawEllipse(QPointF(41, 41), 12, 12);
  p.restore();
}

}  // namespace

QIcon applicationIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    drawIcon(p, QRectF(0, 0, size, size));
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

QPixmap splashPicture() {
  QPixmap pm(460, 240);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(0, 0, 0, 240);
  back.setColorAt(0, QColor(34, 74, 140));
  back.setColorAt(1, QColor(14, 34, 72));
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(QRectF(0, 0, 460, 240), 14, 14);
  drawIcon(p, QRectF(28, 60, 120, 120));
  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPixelSize(34);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRectF(165, 70, 290, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmont Sorbel"));
  QFont small = p.font();
  small.setPixelSize(15);
  small.setBold(false);
  p.setFont(small);
  p.setPen(QColor(200, 220, 245));
  p.drawText(QRectF(167, 116, 290, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Version 18.0"));
  p.drawText(QRectF(167, 140, 290, 44), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("SQL Server data files, read without a server"));
  return pm;
}

QPixmap aboutBanner(int width) {
  QPixmap pm(width, 80);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(0, 0, width, 0);
  back.setColorAt(0, QColor(24, 60, 120));
  back.setColorAt(1, QColor(60, 120, 200));
  p.fillRect(pm.rect(), back);
  drawIcon(p, QRectF(14, 8, 64, 64));
  p.setPen(Qt::white);
  QFont f = p.font();
  f.setPixelSize(22);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(92, 0, width - 100, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmont Sorbel"));
  return pm;
}

}  // namespace sorbel::shell
