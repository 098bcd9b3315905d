// A numeric edit with up and down arrows.
#pragma once

#include "platform/vcl/Controls.h"

class QSpinBox;

class TCSpinEdit : public TWinControl {
 public:
  explicit TCSpinEdit(TComponent* owner);
  QSpinBox* SpinBox() const;
  int Value() const;
  void SetValue(int value);
  void SetMinValue(int value);
  void SetMaxValue(int value);
  TNotifyEvent OnChange;
};
