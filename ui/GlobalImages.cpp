#include "ui/GlobalImages.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace {

QIcon Standard(QStyle::StandardPixmap which) {
  return QApplication::style()->standardIcon(which);
}

// A head and shoulders: a connected user.
QIcon UserIcon() {
  QPixmap p(16, 16);
  p.fill(Qt::transparent);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0x30, 0x60, 0xB0));
  g.drawEllipse(QRectF(5, 1.5, 6, 6));
  g.drawRoundedRect(QRectF(2.5, 8.5, 11, 7), 3, 3);
  return QIcon(p);
}

QIcon Letter(const QString& text, QColor colour) {
  QPixmap p(16, 16);
  p.fill(Qt::transparent);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setBrush(colour);
  g.setPen(colour.darker());
  g.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
  g.setPen(Qt::white);
  QFont f = g.font();
  f.setPixelSize(11);
  f.setBold(true);
  g.setFont(f);
  g.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
  return QIcon(p);
}

}  // namespace

void FillGlobalImages(TImageList* list) {
  list->Add(Standard(QStyle::SP_BrowserReload));                        // 0
  list->Add(Standard(QStyle::SP_MessageBoxInformation));                // 1
  list->Add(Letter("?", QColor(0x30, 0x60, 0xB0)));                     // 2 about
  list->Add(Standard(QStyle::SP_FileDialogInfoView));                   // 3 information
  list->Add(UserIcon());                                                // 4 a user's node
  list->Add(Standard(QStyle::SP_DialogCancelButton));                   // 5
  list->Add(Standard(QStyle::SP_DialogApplyButton));                    // 6
  list->Add(Letter(QString(QChar(0x2261)), QColor(0x50, 0x50, 0x50)));  // 7 actions
  list->Add(Letter("||", QColor(0xC0, 0x40, 0x30)));                    // 8 logins disabled
  list->Add(Standard(QStyle::SP_DriveNetIcon));                         // 9
  list->Add(Standard(QStyle::SP_ComputerIcon));                         // 10
  list->Add(Letter(">", QColor(0x30, 0x90, 0x40)));                     // 11 logins enabled
  list->Add(Standard(QStyle::SP_FileDialogDetailedView));               // 12 connection log
  list->Add(Letter("IP", QColor(0x40, 0x60, 0xA0)));                    // 13 open IP ports
}

void FillTrayImages(TImageList* list) {
  list->Add(Standard(QStyle::SP_DriveNetIcon));      // 0
  list->Add(Letter("K", QColor(0x30, 0x60, 0xB0)));  // 1 the icon shown
}
