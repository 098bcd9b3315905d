// A list box whose entries carry check boxes.
#pragma once

#include "platform/vcl/StdCtrls.h"

class TCheckListBox : public TCustomListBox {
 public:
  explicit TCheckListBox(TComponent* owner);
  bool Checked(int index) const;
  void SetChecked(int index, bool checked);

 protected:
  void ItemsChanged() override;
};
