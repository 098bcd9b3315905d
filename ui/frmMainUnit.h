// The main window: the users connected to this computer's shares.
#pragma once

#include "lang/VCLOrvLangClasses.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/StdCtrls.h"

class TfrmMain : public TVCLOrvLangForm {
 public:
  explicit TfrmMain(TComponent* owner);

  TToolBar* ToolBar;
  TToolButton* tbtnActions;
  TToolButton* ToolButton1;
  TToolButton* tbDisableLogin;
  TToolButton* ToolButton2;
  TToolButton* tbOpenIPPorts;
  TToolButton* tbtnHelp;
  TLabel* Label1;
  TTreeView* tvUsers;
  TStatusBar* StatusBar;
};

extern TfrmMain* frmMain;
