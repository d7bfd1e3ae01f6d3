#include "ui/shell/ShellPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace solvane {

namespace {

constexpr int kIconSize = 32;

QPixmap Canvas(int size = kIconSize) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void PaintDisk(QPainter& p) {  // a drive with a round arrow
  p.setBrush(QColor(60, 120, 200));
  p.drawRoundedRect(4, 14, 24, 12, 3, 3);
  p.setBrush(QColor(120, 220, 120));
  p.drawEllipse(QPoint(22, 20), 2, 2);
  p.setPen(QPen(QColor(30, 90, 170), 3));
  p.setBrush(Qt::NoBrush);
  p.drawArc(8, 2, 16, 14, 30 * 16, 180 * 16);
}

void PaintProgress(QPainter& p) {  // a bar chart
  p.setBrush(QColor(240, 160, 40));
  p.drawRect(5, 18, 5, 10);
  p.setBrush(QColor(70, 170, 90));
  p.drawRect(13, 10, 5, 18);
  p.setBrush(QColor(60, 120, 200));
  p.drawRect(21, 4, 5, 24);
}

void PaintFolder(QPainter& p) {  // two overlapping folders
  p.setBrush(QColor(235, 190, 70));
  p.drawRect(3, 9, 20, 15);
  p.setBrush(QColor(250, 210, 90));
  p.drawRect(9, 13, 20, 15);
  p.drawRect(9, 10, 8, 4);
}

void PaintTools(QPainter& p) {  // a gear
  p.setBrush(QColor(110, 120, 135));
  for (int i = 0; i < 8; ++i) {
    p.save();
    p.translate(16, 16);
    p.rotate(45.0 * i);
    p.drawRect(-2, -14, 4, 6);
    p.restore();
  }
  p.drawEllipse(QPoint(16, 16), 9, 9);
  p.setBrush(Qt::white);
  p.drawEllipse(QPoint(16, 16), 4, 4);
}

}  // namespace

QIcon SectionIcon(TSectionIcon which) {
  QPixmap pixmap = Canvas();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  switch (which) {
    case TSectionIcon::BackupRestore:
      PaintDisk(p);
      break;
    case TSectionIcon::Progress:
      PaintProgress(p);
      break;
    case TSectionIcon::ShareArea:
      PaintFolder(p);
      break;
    case TSectionIcon::Tools:
      PaintTools(p);
      break;
  }
  return QIcon(pixmap);
}

QIcon ProgramIcon(int frame) {
  QPixmap pixmap = Canvas();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath shield;
  shield.moveTo(16, 2);
  shield.lineTo(28, 7);
  shield.cubicTo(28, 20, 22, 27, 16, 30);
  shield.cubicTo(10, 27, 4, 20, 4, 7);
  shield.closeSubpath();
  p.setPen(QPen(QColor(20, 60, 120), 1.5));
  p.setBrush(frame % 2 == 0 ? QColor(40, 110, 200) : QColor(60, 170, 90));
  p.drawPath(shield);
  p.setPen(QPen(Qt::white, 3));
  p.drawLine(11, 16, 15, 21);
  p.drawLine(15, 21, 22, 11);
  return QIcon(pixmap);
}

TTitlePicture::TTitlePicture(QWidget* parent) : QWidget(parent) {
  setObjectName("TitlePicture");
  setFixedHeight(64);
}

void TTitlePicture::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient band(0, 0, width(), 0);
  band.setColorAt(0, QColor(14, 60, 122));
  band.setColorAt(0.6, QColor(40, 110, 190));
  band.setColorAt(1, QColor(120, 180, 235));
  p.fillRect(rect(), band);
  ProgramIcon().paint(&p, QRect(16, 12, 40, 40));
  QFont title = font();
  title.setPointSize(18);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRect(68, 0, width() - 80, 40), Qt::AlignLeft | Qt::AlignBottom,
             QString::fromUtf8("Solvane桌面备份系统"));
  QFont sub = font();
  sub.setPointSize(9);
  p.setFont(sub);
  p.setPen(QColor(220, 235, 250));
  p.drawText(QRect(70, 42, width() - 80, 20), Qt::AlignLeft | Qt::AlignTop,
             QString::fromUtf8("文件备份 · 文件夹同步 · 数据恢复 · 共享数据"));
}

}  // namespace solvane
