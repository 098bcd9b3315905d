// The main window: the users connected to this computer's shares.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "lang/VCLOrvLangClasses.h"
#include "orvlib/orvComputer.h"
#include "platform/vcl/ActnList.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/StdCtrls.h"
#include "ui/ConnectionInfo.h"

class TfrmMain : public TVCLOrvLangForm {
 public:
  explicit TfrmMain(TComponent* owner);
  ~TfrmMain() override;

  // Rebuilds the session tree from the computer's sessions.
  void RefreshSessions();

  TImageList* imlGlobal;
  TImageList* imlTray;
  TActionList* actlGlobal;
  TAction* actRefresh;
  TTimer* timerRefresh;
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

  // Periodic refresh, set from the settings and by the options window.
  bool FAutorefresh = false;
  int FAutorefreshTime = 0;  // seconds

  Orv::TorvComputer* Computer() const { return FComputer.get(); }
  const TConnectionInfo& LastSelection() const { return FLastSelection; }

 private:
  void FormCreate(TObject* sender);
  void actRefreshExecute(TObject* sender);
  void actlGlobalUpdate(TObject* sender);
  void timerRefreshTimer(TObject* sender);
  void tvUsersChange(TObject* sender, TTreeNode* node);
  void tvUsersDblClick(TObject* sender);
  AnsiString NodeText(const TConnectionInfo& info) const;
  void ClearTree();

  std::unique_ptr<Orv::TorvComputer> FComputer;
  TConnectionInfo FLastSelection;
  // The records of the tree's nodes, owned here and freed with their nodes.
  std::vector<std::unique_ptr<TConnectionInfo>> FRecords;
};

extern TfrmMain* frmMain;
