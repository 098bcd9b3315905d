#include "platform/vcl/StdCtrls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Ampersands mark accelerators in captions, as they do in Qt.
QString CaptionText(const AnsiString& caption) {
  return vcl::ToQString(caption);
}

QString FromCrLf(const AnsiString& text) {
  QString s = vcl::ToQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

AnsiString ToCrLf(const QString& text) {
  QString s = text;
  s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return vcl::FromQString(s);
}

}  // namespace

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner, new QLabel) {}
QLabel* TCustomLabel::Label() const {
  return static_cast<QLabel*>(Widget());
}
void TCustomLabel::SetWordWrap(bool wrap) {
  if (Label()) Label()->setWordWrap(wrap);
}
void TCustomLabel::ApplyCaption() {
  TControl::ApplyCaption();
  if (Label()) Label()->setText(CaptionText(Caption()));
}

TButton::TButton(TComponent* owner) : TButtonControl(owner, new QPushButton) {
  QObject::connect(Button(), &QPushButton::clicked, Button(), [this] { Click(); });
}
QPushButton* TButton::Button() const {
  return static_cast<QPushButton*>(Widget());
}
void TButton::SetDefault(bool isDefault) {
  if (Button()) Button()->setDefault(isDefault);
}
void TButton::Click() {
  if (OnClick) OnClick(this);
}
void TButton::ApplyCaption() {
  TControl::ApplyCaption();
  if (Button()) Button()->setText(CaptionText(Caption()));
}

TCheckBox::TCheckBox(TComponent* owner) : TButtonControl(owner, new QCheckBox) {
  auto* box = static_cast<QCheckBox*>(Widget());
  QObject::connect(box, &QCheckBox::clicked, box, [this] {
    if (OnClick) OnClick(this);
  });
}
bool TCheckBox::Checked() const {
  return Widget() && static_cast<QCheckBox*>(Widget())->isChecked();
}
void TCheckBox::SetChecked(bool checked) {
  if (Widget()) static_cast<QCheckBox*>(Widget())->setChecked(checked);
}
void TCheckBox::ApplyCaption() {
  TControl::ApplyCaption();
  if (Widget()) static_cast<QCheckBox*>(Widget())->setText(CaptionText(Caption()));
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner, new QRadioButton) {}
bool TRadioButton::Checked() const {
  return Widget() && static_cast<QRadioButton*>(Widget())->isChecked();
}
void TRadioButton::SetChecked(bool checked) {
  if (Widget()) static_cast<QRadioButton*>(Widget())->setChecked(checked);
}
void TRadioButton::ApplyCaption() {
  TControl::ApplyCaption();
  if (Widget()) static_cast<QRadioButton*>(Widget())->setText(CaptionText(Caption()));
}

TCustomEdit::TCustomEdit(TComponent* owner, QWidget* widget) : TWinControl(owner, widget) {
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this](const QString& t) {
      CaptionFromWidget(vcl::FromQString(t));
      if (Widget()) Widget()->setAccessibleName(t);
      if (OnChange) OnChange(this);
    });
  }
}
TCustomEdit::TCustomEdit(TComponent* owner) : TCustomEdit(owner, new QLineEdit) {}
QLineEdit* TCustomEdit::LineEdit() const {
  return qobject_cast<QLineEdit*>(Widget());
}
void TCustomEdit::SetReadOnly(bool readOnly) {
  if (LineEdit()) LineEdit()->setReadOnly(readOnly);
}
void TCustomEdit::SetMaxLength(int length) {
  if (LineEdit()) LineEdit()->setMaxLength(length > 0 ? length : 32767);
}
void TCustomEdit::ApplyCaption() {
  TControl::ApplyCaption();
  if (LineEdit() && vcl::FromQString(LineEdit()->text()) != Caption())
    LineEdit()->setText(vcl::ToQString(Caption()));
}

TCustomMemo::TCustomMemo(TComponent* owner) : TWinControl(owner, new QPlainTextEdit) {
  QObject::connect(Editor(), &QPlainTextEdit::textChanged, Editor(), [this] {
    CaptionFromWidget(ToCrLf(Editor()->toPlainText()));
    if (OnChange) OnChange(this);
  });
}
QPlainTextEdit* TCustomMemo::Editor() const {
  return static_cast<QPlainTextEdit*>(Widget());
}
std::vector<AnsiString> TCustomMemo::Lines() const {
  std::vector<AnsiString> lines;
  const AnsiString& text = Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == AnsiString::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}
void TCustomMemo::SetLines(const std::vector<AnsiString>& lines) {
  AnsiString text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
  SetText(text);
}
void TCustomMemo::SetReadOnly(bool readOnly) {
  if (Editor()) Editor()->setReadOnly(readOnly);
}
void TCustomMemo::ApplyCaption() {
  TControl::ApplyCaption();
  if (Editor() && ToCrLf(Editor()->toPlainText()) != Caption())
    Editor()->setPlainText(FromCrLf(Caption()));
}

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TWinControl(owner, new QGroupBox) {}
QGroupBox* TCustomGroupBox::GroupBox() const {
  return static_cast<QGroupBox*>(Widget());
}
void TCustomGroupBox::ApplyCaption() {
  TControl::ApplyCaption();
  if (GroupBox()) GroupBox()->setTitle(CaptionText(Caption()));
}

TCustomStaticText::TCustomStaticText(TComponent* owner) : TWinControl(owner, new QLabel) {
  static_cast<QLabel*>(Widget())->setFrameShape(QFrame::NoFrame);
}
void TCustomStaticText::ApplyCaption() {
  TControl::ApplyCaption();
  if (Widget()) static_cast<QLabel*>(Widget())->setText(CaptionText(Caption()));
}

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner, new QListWidget) {
  FItems.OnChange = [this] { ItemsChanged(); };
}
QListWidget* TCustomListBox::List() const {
  return static_cast<QListWidget*>(Widget());
}
int TCustomListBox::ItemIndex() const {
  return List() ? List()->currentRow() : -1;
}
void TCustomListBox::SetItemIndex(int index) {
  if (List()) List()->setCurrentRow(index);
}
void TCustomListBox::ItemsChanged() {
  if (!List()) return;
  List()->clear();
  for (const auto& s : FItems.Items()) List()->addItem(vcl::ToQString(s));
}

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner, new QComboBox) {
  FItems.OnChange = [this] {
    if (!Combo()) return;
    Combo()->clear();
    for (const auto& s : FItems.Items()) Combo()->addItem(vcl::ToQString(s));
  };
  QObject::connect(Combo(), qOverload<int>(&QComboBox::currentIndexChanged), Combo(), [this](int) {
    if (OnChange) OnChange(this);
  });
}
QComboBox* TComboBox::Combo() const {
  return static_cast<QComboBox*>(Widget());
}
int TComboBox::ItemIndex() const {
  return Combo() ? Combo()->currentIndex() : -1;
}
void TComboBox::SetItemIndex(int index) {
  if (Combo()) Combo()->setCurrentIndex(index);
}
