#include "lang/VCLOrvLangClasses.h"

#include "app/ProcessGlobals.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/CSpin.h"
#include "platform/vcl/CheckLst.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Grids.h"
#include "platform/vcl/Mask.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/ValEdit.h"

std::string FormDictionaryPath() {
  std::string folder = ExecutableFolderAnsi();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + "lang.dic";
}

TVCLOrvLangForm::TVCLOrvLangForm(TComponent* owner) : TForm(owner) {}

void TVCLOrvLangForm::Loaded() {
  TForm::Loaded();
  InitLanguage();
}

void TVCLOrvLangForm::InitLanguage() {
  FLanguage = &TheLanguage();
  FLanguage->LoadFromFile(FormDictionaryPath());
  TranslateComponents(this);
}

AnsiString TVCLOrvLangForm::TranslateText(const char* text) const {
  return FLanguage->Translate(text ? AnsiString(text) : AnsiString());
}

namespace {

template <class T>
void TranslateCaptionHint(T* c, const TVCLOrvLangForm& f) {
  c->SetCaption(f.TranslateText(c->Caption()));
  c->SetHint(f.TranslateText(c->Hint()));
}

void TranslateItems(TStrings& items, const TVCLOrvLangForm& f) {
  std::vector<AnsiString> translated;
  for (const auto& s : items.Items()) translated.push_back(f.TranslateText(s));
  items.Assign(std::move(translated));
}

// The first row whose class the component is an instance of decides; the order matters
// (a TBitBtn is a TButton and is handled by that row).
bool TranslateOne(TComponent* c, const TVCLOrvLangForm& f) {
  if (auto* x = dynamic_cast<TMenuItem*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TButton*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TBitBtn*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TSpeedButton*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TPanel*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TGroupBox*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TLabel*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TStaticText*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TLabeledEdit*>(c)) {
    TranslateCaptionHint(x->EditLabel(), f);
    x->SetHint(f.TranslateText(x->Hint()));
  } else if (auto* x = dynamic_cast<TEdit*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
  } else if (auto* x = dynamic_cast<TMaskEdit*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
  } else if (auto* x = dynamic_cast<TRadioButton*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
    x->SetCaption(f.TranslateText(x->Caption()));
  } else if (auto* x = dynamic_cast<TMemo*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
    x->SetText(f.TranslateText(x->Text()));
  } else if (auto* x = dynamic_cast<TRadioGroup*>(c)) {
    TranslateCaptionHint(x, f);
    TranslateItems(x->Items(), f);
  } else if (auto* x = dynamic_cast<TCheckBox*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TTabSheet*>(c)) {
    TranslateCaptionHint(x, f);
  } else if (auto* x = dynamic_cast<TOpenDialog*>(c)) {  // a TSaveDialog is one too
    x->SetTitle(f.TranslateText(x->Title()));
  } else if (auto* x = dynamic_cast<TValueListEditor*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
    TranslateItems(x->TitleCaptions(), f);
    for (int row = 0; row < x->RowCountOfValues(); ++row)
      x->SetKey(row, f.TranslateText(x->Key(row)));
  } else if (auto* x = dynamic_cast<TCheckListBox*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
    TranslateItems(x->Items(), f);
  } else if (auto* x = dynamic_cast<TTreeView*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
  } else if (auto* x = dynamic_cast<TListView*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
    for (int i = 0; i < x->ColumnCount(); ++i)
      x->Column(i)->SetCaption(f.TranslateText(x->Column(i)->Caption()));
  } else if (auto* x = dynamic_cast<TTabControl*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
    TranslateItems(x->Tabs(), f);
  } else if (auto* x = dynamic_cast<TStatusBar*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
  } else if (auto* x = dynamic_cast<TCSpinEdit*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
  } else if (auto* x = dynamic_cast<TToolBar*>(c)) {
    TranslateCaptionHint(x, f);
    for (int i = 0; i < x->ButtonCount(); ++i) TranslateCaptionHint(x->Buttons(i), f);
  } else if (auto* x = dynamic_cast<TCoolBar*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
  } else if (auto* x = dynamic_cast<TStringGrid*>(c)) {
    x->SetHint(f.TranslateText(x->Hint()));
  } else {
    return false;
  }
  return true;
}

}  // namespace

void TVCLOrvLangForm::TranslateComponents(TForm* form) {
  form->SetCaption(TranslateText(form->Caption()));
  for (int i = 0; i < form->ComponentCount(); ++i) TranslateOne(form->Components(i), *this);
}
