// Panels, radio groups, labelled edits and timers.
#pragma once

#include "platform/vcl/StdCtrls.h"

class QTimer;
class QButtonGroup;

class TCustomPanel : public TWinControl {
 public:
  explicit TCustomPanel(TComponent* owner);

 protected:
  void ApplyCaption() override;

 private:
  QLabel* FCaptionLabel;
};

class TPanel : public TCustomPanel {
 public:
  using TCustomPanel::TCustomPanel;
};

// A group box of radio buttons, one per entry of Items.
class TCustomRadioGroup : public TCustomGroupBox {
 public:
  explicit TCustomRadioGroup(TComponent* owner);
  TStrings& Items() { return FItems; }
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int index);
  TNotifyEvent OnChange;

 private:
  void Rebuild();
  TStrings FItems;
  int FItemIndex = -1;
  QButtonGroup* FButtons;
};

class TRadioGroup : public TCustomRadioGroup {
 public:
  using TCustomRadioGroup::TCustomRadioGroup;
};

// The label bound to a labelled edit: owned by the edit, not by the form.
class TBoundLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
};

class TCustomLabeledEdit : public TCustomEdit {
 public:
  explicit TCustomLabeledEdit(TComponent* owner);
  TBoundLabel* EditLabel() const { return FEditLabel; }
  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;

 private:
  TBoundLabel* FEditLabel;
};

class TLabeledEdit : public TCustomLabeledEdit {
 public:
  using TCustomLabeledEdit::TCustomLabeledEdit;
};

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned milliseconds);
  TNotifyEvent OnTimer;

 private:
  void Update();
  QTimer* FTimer;
  bool FEnabled = true;
  unsigned FInterval = 1000;
};
