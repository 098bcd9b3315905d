#include "platform/vcl/Buttons.h"

#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::SetKind(TBitBtnKind kind) {
  FKind = kind;
  if (!Button()) return;
  QStyle::StandardPixmap icon = QStyle::SP_CustomBase;
  switch (kind) {
    case bkOK:
    case bkYes:
      icon = QStyle::SP_DialogOkButton;
      break;
    case bkCancel:
    case bkNo:
      icon = QStyle::SP_DialogCancelButton;
      break;
    case bkHelp:
      icon = QStyle::SP_DialogHelpButton;
      break;
    case bkClose:
      icon = QStyle::SP_DialogCloseButton;
      break;
    default:
      break;
  }
  Button()->setIcon(icon == QStyle::SP_CustomBase ? QIcon()
                                                  : QApplication::style()->standardIcon(icon));
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner, new QToolButton) {
  QObject::connect(Button(), &QToolButton::clicked, Button(), [this] {
    if (OnClick) OnClick(this);
  });
}
QToolButton* TSpeedButton::Button() const {
  return static_cast<QToolButton*>(Widget());
}
void TSpeedButton::SetFlat(bool flat) {
  if (Button()) Button()->setAutoRaise(flat);
}
bool TSpeedButton::Down() const {
  return Button() && Button()->isChecked();
}
void TSpeedButton::SetDown(bool down) {
  if (!Button()) return;
  Button()->setCheckable(true);
  Button()->setChecked(down);
}
void TSpeedButton::ApplyCaption() {
  TControl::ApplyCaption();
  if (Button()) Button()->setText(vcl::ToQString(Caption()));
}
