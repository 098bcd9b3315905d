#include "platform/vcl/CSpin.h"

#include <QSpinBox>

TCSpinEdit::TCSpinEdit(TComponent* owner) : TWinControl(owner, new QSpinBox) {
  QObject::connect(SpinBox(), qOverload<int>(&QSpinBox::valueChanged), SpinBox(), [this](int) {
    if (OnChange) OnChange(this);
  });
}
QSpinBox* TCSpinEdit::SpinBox() const {
  return static_cast<QSpinBox*>(Widget());
}
int TCSpinEdit::Value() const {
  return SpinBox() ? SpinBox()->value() : 0;
}
void TCSpinEdit::SetValue(int value) {
  if (SpinBox()) SpinBox()->setValue(value);
}
void TCSpinEdit::SetMinValue(int value) {
  if (SpinBox()) SpinBox()->setMinimum(value);
}
void TCSpinEdit::SetMaxValue(int value) {
  if (SpinBox()) SpinBox()->setMaximum(value);
}
