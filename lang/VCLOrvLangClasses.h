// The base windows that translate themselves through the form dictionary when they are made.
#pragma once

#include "lang/Language.h"
#include "platform/vcl/Forms.h"

namespace Orv {
class TorvObject;
}

class TVCLOrvLangForm : public TForm {
 public:
  explicit TVCLOrvLangForm(TComponent* owner);

  // Points FLanguage at the shared dictionary, loads "lang.dic" beside the executable (the first
  // time in the run) and translates this form's texts.
  void InitLanguage();
  void TranslateComponents(TForm* form);
  AnsiString TranslateText(const char* text) const;
  AnsiString TranslateText(const AnsiString& text) const { return TranslateText(text.c_str()); }

 protected:
  // The design is complete once the constructor of the window has run; translation follows.
  void Loaded() override;

  TLanguage* FLanguage = nullptr;
};

class TVCLOrvForm : public TVCLOrvLangForm {
 public:
  using TVCLOrvLangForm::TVCLOrvLangForm;
  virtual void SetObject(Orv::TorvObject* object) = 0;
  virtual void CloseForm() = 0;
};

// The path of "lang.dic": the executable's folder with one separator before the file name.
std::string FormDictionaryPath();
