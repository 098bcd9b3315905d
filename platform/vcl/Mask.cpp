#include "platform/vcl/Mask.h"

#include <QLineEdit>

void TCustomMaskEdit::SetEditMask(const AnsiString& mask) {
  if (LineEdit()) LineEdit()->setInputMask(vcl::ToQString(mask));
}
