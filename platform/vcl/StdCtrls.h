// Standard controls: labels, buttons, check and radio buttons, edits, memos, group boxes,
// static texts, list and combo boxes.
#pragma once

#include "platform/vcl/Controls.h"

class QLabel;
class QPushButton;
class QCheckBox;
class QRadioButton;
class QLineEdit;
class QPlainTextEdit;
class QGroupBox;
class QListWidget;
class QComboBox;

class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);
  QLabel* Label() const;
  void SetWordWrap(bool wrap);

 protected:
  void ApplyCaption() override;
};

class TLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
};

class TButtonControl : public TWinControl {
 public:
  using TWinControl::TWinControl;
};

class TButton : public TButtonControl {
 public:
  explicit TButton(TComponent* owner);
  QPushButton* Button() const;
  void SetDefault(bool isDefault);
  void SetModalResult(int result) { FModalResult = result; }
  int ModalResult() const { return FModalResult; }
  void Click();

 protected:
  void ApplyCaption() override;

 private:
  int FModalResult = 0;
};

class TCheckBox : public TButtonControl {
 public:
  explicit TCheckBox(TComponent* owner);
  bool Checked() const;
  void SetChecked(bool checked);

 protected:
  void ApplyCaption() override;
};

class TRadioButton : public TButtonControl {
 public:
  explicit TRadioButton(TComponent* owner);
  bool Checked() const;
  void SetChecked(bool checked);

 protected:
  void ApplyCaption() override;
};

// An edit's Text is what it holds; it follows the user's typing.
class TCustomEdit : public TWinControl {
 public:
  TCustomEdit(TComponent* owner, QWidget* widget);
  explicit TCustomEdit(TComponent* owner);
  QLineEdit* LineEdit() const;
  void SetReadOnly(bool readOnly);
  void SetMaxLength(int length);
  TNotifyEvent OnChange;

 protected:
  void ApplyCaption() override;
};

class TEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
};

// A memo's Text is its whole content, the lines separated by CR LF.
class TCustomMemo : public TWinControl {
 public:
  explicit TCustomMemo(TComponent* owner);
  QPlainTextEdit* Editor() const;
  std::vector<AnsiString> Lines() const;
  void SetLines(const std::vector<AnsiString>& lines);
  void SetReadOnly(bool readOnly);
  TNotifyEvent OnChange;

 protected:
  void ApplyCaption() override;
};

class TMemo : public TCustomMemo {
 public:
  using TCustomMemo::TCustomMemo;
};

class TCustomGroupBox : public TWinControl {
 public:
  explicit TCustomGroupBox(TComponent* owner);
  QGroupBox* GroupBox() const;

 protected:
  void ApplyCaption() override;
};

class TGroupBox : public TCustomGroupBox {
 public:
  using TCustomGroupBox::TCustomGroupBox;
};

class TCustomStaticText : public TWinControl {
 public:
  explicit TCustomStaticText(TComponent* owner);

 protected:
  void ApplyCaption() override;
};

class TStaticText : public TCustomStaticText {
 public:
  using TCustomStaticText::TCustomStaticText;
};

class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* owner);
  QListWidget* List() const;
  TStrings& Items() { return FItems; }
  int ItemIndex() const;
  void SetItemIndex(int index);

 protected:
  virtual void ItemsChanged();
  TStrings FItems;
};

class TListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;
};

class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* owner);
  QComboBox* Combo() const;
  TStrings& Items() { return FItems; }
  int ItemIndex() const;
  void SetItemIndex(int index);
  TNotifyEvent OnChange;

 private:
  TStrings FItems;
};
