#include "platform/vcl/CheckLst.h"

#include <QListWidget>

TCheckListBox::TCheckListBox(TComponent* owner) : TCustomListBox(owner) {}

void TCheckListBox::ItemsChanged() {
  if (!List()) return;
  // Keep the check marks of the entries that stay.
  std::vector<bool> checks;
  for (int i = 0; i < List()->count(); ++i) checks.push_back(Checked(i));
  TCustomListBox::ItemsChanged();
  for (int i = 0; i < List()->count(); ++i) {
    QListWidgetItem* item = List()->item(i);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(i < static_cast<int>(checks.size()) && checks[i] ? Qt::Checked
                                                                         : Qt::Unchecked);
  }
}

bool TCheckListBox::Checked(int index) const {
  QListWidgetItem* item = List() ? List()->item(index) : nullptr;
  return item && item->checkState() == Qt::Checked;
}

void TCheckListBox::SetChecked(int index, bool checked) {
  if (QListWidgetItem* item = List() ? List()->item(index) : nullptr)
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}
