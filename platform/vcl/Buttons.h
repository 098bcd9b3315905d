// Bitmap buttons and speed buttons.
#pragma once

#include "platform/vcl/StdCtrls.h"

class QToolButton;

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose };

class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner);
  void SetKind(TBitBtnKind kind);
  TBitBtnKind Kind() const { return FKind; }

 private:
  TBitBtnKind FKind = bkCustom;
};

class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* owner);
  QToolButton* Button() const;
  void SetFlat(bool flat);
  bool Down() const;
  void SetDown(bool down);

 protected:
  void ApplyCaption() override;
};
