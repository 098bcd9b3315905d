// An edit with an input mask.
#pragma once

#include "platform/vcl/StdCtrls.h"

class TCustomMaskEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
  void SetEditMask(const AnsiString& mask);
};

class TMaskEdit : public TCustomMaskEdit {
 public:
  using TCustomMaskEdit::TCustomMaskEdit;
};
