// File dialogs.
#pragma once

#include "platform/vcl/Classes.h"

class TCommonDialog : public TComponent {
 public:
  using TComponent::TComponent;
};

class TOpenDialog : public TCommonDialog {
 public:
  using TCommonDialog::TCommonDialog;
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& title) { FTitle = title; }
  const AnsiString& FileName() const { return FFileName; }
  void SetFileName(const AnsiString& name) { FFileName = name; }
  // "Text files (*.txt)|*.txt|All files (*.*)|*.*"
  void SetFilter(const AnsiString& filter) { FFilter = filter; }
  virtual bool Execute();

 protected:
  bool Run(bool save);
  AnsiString FTitle, FFileName, FFilter;
};

class TSaveDialog : public TOpenDialog {
 public:
  using TOpenDialog::TOpenDialog;
  bool Execute() override;
};
