#include "platform/vcl/Menus.h"

#include <QAction>
#include <QFont>
#include <QMenu>

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), FAction(new QAction) {
  QObject::connect(FAction, &QAction::triggered, FAction, [this] { Click(); });
}

TMenuItem::~TMenuItem() {
  delete FSubMenu.data();
  delete FAction.data();
}

void TMenuItem::SetCaption(const AnsiString& caption) {
  FCaption = caption;
  if (!FAction) return;
  FAction->setSeparator(caption == "-");
  FAction->setText(vcl::ToQString(caption));
}

void TMenuItem::SetHint(const AnsiString& hint) {
  FHint = hint;
  if (FAction) FAction->setStatusTip(vcl::ToQString(hint));
}

void TMenuItem::SetChecked(bool checked) {
  FChecked = checked;
  if (!FAction) return;
  FAction->setCheckable(checked || FAction->isCheckable());
  FAction->setChecked(checked);
}

void TMenuItem::SetDefault(bool isDefault) {
  if (!FAction) return;
  QFont f = FAction->font();
  f.setBold(isDefault);
  FAction->setFont(f);
}

void TMenuItem::SetEnabled(bool enabled) {
  FEnabled = enabled;
  if (FAction) FAction->setEnabled(enabled);
}

void TMenuItem::SetVisible(bool visible) {
  FVisible = visible;
  if (FAction) FAction->setVisible(visible);
}

void TMenuItem::AttachTo(QMenu* menu) {
  FMenu = menu;
  if (menu && FAction) menu->addAction(FAction);
}

void TMenuItem::Add(TMenuItem* item) {
  if (!FSubMenu) {
    FSubMenu = new QMenu;
    if (FAction) FAction->setMenu(FSubMenu);
  }
  FItems.push_back(item);
  item->AttachTo(FSubMenu);
}

void TMenuItem::Click() {
  if (OnClick) OnClick(this);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), FMenu(new QMenu) {}

TPopupMenu::~TPopupMenu() {
  delete FMenu.data();
}

void TPopupMenu::Add(TMenuItem* item) {
  FItems.push_back(item);
  item->AttachTo(FMenu);
}

void TPopupMenu::Popup(const QPoint& at) {
  if (FMenu) FMenu->popup(at);
}
