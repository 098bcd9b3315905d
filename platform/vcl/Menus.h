// Menu items and pop-up menus. An item is a component of its form and an entry of its menu; the
// caption "-" makes it a separator.
#pragma once

#include <QAction>
#include <QMenu>
#include <QPoint>
#include <QPointer>

#include "platform/vcl/Classes.h"

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& caption);
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& hint);
  bool Checked() const { return FChecked; }
  void SetChecked(bool checked);
  void SetDefault(bool isDefault);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  bool Visible() const { return FVisible; }
  void SetVisible(bool visible);
  void SetImageIndex(int index) { FImageIndex = index; }
  int ImageIndex() const { return FImageIndex; }

  // Sub-items: appended to this item's submenu (or to the menu this item stands for).
  void Add(TMenuItem* item);
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int i) const { return FItems.at(static_cast<size_t>(i)); }
  void Click();

  QAction* Action() const { return FAction; }
  TNotifyEvent OnClick;

 private:
  friend class TPopupMenu;
  void AttachTo(QMenu* menu);

  QPointer<QAction> FAction;
  QPointer<QMenu> FMenu;     // the menu this item's entry lives in
  QPointer<QMenu> FSubMenu;  // its own submenu, made on the first Add
  std::vector<TMenuItem*> FItems;
  AnsiString FCaption, FHint;
  bool FChecked = false, FEnabled = true, FVisible = true;
  int FImageIndex = -1;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;
  void Add(TMenuItem* item);
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int i) const { return FItems.at(static_cast<size_t>(i)); }
  void Popup(const QPoint& at);
  QMenu* Menu() const { return FMenu; }

 private:
  QPointer<QMenu> FMenu;
  std::vector<TMenuItem*> FItems;
};
