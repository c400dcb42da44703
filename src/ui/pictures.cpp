#include "ui/pictures.h"

#include <QBitmap>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace kelvo::ui {

namespace {

constexpr QSize kSplashSize(420, 240);
const QColor kDeep(18, 34, 74);
const QColor kSteel(74, 112, 178);
const QColor kSpark(255, 196, 40);

// A lightning bolt in a box of the given size at the origin.
QPainterPath Bolt(qreal w, qreal h) {
  QPainterPath path;
  path.moveTo(w * 0.58, 0);
  path.lineTo(w * 0.12, h * 0.56);
  path.lineTo(w * 0.46, h * 0.56);
  path.lineTo(w * 0.34, h);
  path.lineTo(w * 0.88, h * 0.38);
  path.lineTo(w * 0.54, h * 0.38);
  path.closeSubpath();
  return path;
}

QPainterPath SplashShape() {
  QPainterPath plate;
  plate.addRoundedRect(QRectF(0, 24, kSplashSize.width(), kSplashSize.height() - 24), 28, 28);
  // The disc that carries the bolt stands out above the plate. A union: as
  // two subpaths of one path the overlap would be a hole.
  QPainterPath disc;
  disc.addEllipse(QRectF(18, 0, 132, 132));
  return plate.united(disc);
}

void PaintDisc(QPainter& p, const QRectF& box) {
  QRadialGradient glow(box.center(), box.width() / 2);
  glow.setColorAt(0, kSteel.lighter(150));
  glow.setColorAt(1, kDeep);
  p.setPen(QPen(kSpark, box.width() / 40));
  p.setBrush(glow);
  p.drawEllipse(box.adjusted(1, 1, -1, -1));
  p.save();
  p.translate(box.left() + box.width() * 0.2, box.top() + box.height() * 0.14);
  p.setPen(QPen(kDeep, box.width() / 60));
  p.setBrush(kSpark);
  p.drawPath(Bolt(box.width() * 0.6, box.height() * 0.72));
  p.restore();
}

QPixmap Blank(QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

}  // namespace

QPixmap SplashPicture() {
  QPixmap pixmap = Blank(kSplashSize);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient plate(0, 24, 0, kSplashSize.height());
  plate.setColorAt(0, kSteel);
  plate.setColorAt(1, kDeep);
  p.setPen(Qt::NoPen);
  p.setBrush(plate);
  p.drawRoundedRect(QRectF(0, 24, kSplashSize.width(), kSplashSize.height() - 24), 28, 28);
  PaintDisc(p, QRectF(18, 0, 132, 132));

  QFont title("DejaVu Sans", 34, QFont::Bold);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRectF(160, 48, 250, 60), Qt::AlignLeft | Qt::AlignVCenter, "Kelvo32");
  QFont line("DejaVu Sans", 11);
  p.setFont(line);
  p.setPen(QColor(220, 228, 245));
  p.drawText(QRectF(164, 104, 240, 24), Qt::AlignLeft | Qt::AlignVCenter, "release packager");
  p.drawText(QRectF(30, 150, 360, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             "Source \u2192 volumes \u2192 numbered zips\nwith FILE_ID.DIZ, NFO and comment");
  return pixmap;
}

QRegion SplashOutline() {
  QBitmap mask(kSplashSize);
  mask.fill(Qt::color0);
  QPainter p(&mask);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::color1);
  p.drawPath(SplashShape());
  return QRegion(mask);
}

QPixmap LogoPicture(int height) {
  QPixmap pixmap = Blank(QSize(height, height));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  PaintDisc(p, QRectF(0, 0, height, height));
  return pixmap;
}

QCursor LogoPointer() {
  QPixmap pixmap = Blank(QSize(24, 24));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kDeep, 1.2));
  p.setBrush(kSpark);
  p.drawPath(Bolt(22, 23));
  return QCursor(pixmap, 12, 0);
}

QIcon NavigationIcon(PanelPicture picture) {
  constexpr int kSize = 32;
  QPixmap pixmap = Blank(QSize(kSize, kSize));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kDeep, 2));
  p.setBrush(kSteel.lighter(140));
  switch (picture) {
    case PanelPicture::Disc:  // a disc
      p.drawEllipse(QRectF(3, 3, 26, 26));
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(12, 12, 8, 8));
      break;
    case PanelPicture::StruckPage:  // a struck-out page
      p.drawRect(QRectF(7, 3, 18, 26));
      p.setPen(QPen(QColor(192, 40, 40), 3));
      p.drawLine(QPointF(4, 28), QPointF(28, 4));
      break;
    case PanelPicture::StampedPage:
    case PanelPicture::Page: {  // a page of text
      p.setBrush(Qt::white);
      p.drawRect(QRectF(6, 3, 20, 26));
      p.setPen(QPen(kSteel, 2));
      for (int y = 9; y <= 23; y += 5) p.drawLine(QPointF(10, y), QPointF(22, y));
      p.setPen(Qt::NoPen);
      p.setBrush(kSpark);
      if (picture == PanelPicture::StampedPage) p.drawRect(QRectF(16, 17, 8, 8));
      break;
    }
    case PanelPicture::ZippedFolder:  // a zipped folder
      p.drawRoundedRect(QRectF(3, 7, 26, 20), 3, 3);
      p.setPen(QPen(kDeep, 2, Qt::DotLine));
      p.drawLine(QPointF(16, 7), QPointF(16, 27));
      break;
    case PanelPicture::Bolt:
      p.setBrush(kSpark);
      p.drawPath(Bolt(kSize - 2, kSize - 2));
      break;
    case PanelPicture::Question:
      p.drawEllipse(QRectF(3, 3, 26, 26));
      p.setFont(QFont("DejaVu Sans", 15, QFont::Bold));
      p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, "?");
      break;
    case PanelPicture::Info:
      p.drawEllipse(QRectF(3, 3, 26, 26));
      p.setFont(QFont("DejaVu Sans", 15, QFont::Bold));
      p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, "i");
      break;
  }
  return QIcon(pixmap);
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 32, 64}) icon.addPixmap(LogoPicture(size));
  return icon;
}

QPixmap MarqueePicture(int height) {
  return LogoPicture(height);
}

}  // namespace kelvo::ui
