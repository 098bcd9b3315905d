#include "ui/frmMainUnit.h"

TfrmMain* frmMain = nullptr;

namespace {

template <class T>
T* Make(TComponent* owner, TWinControl* parent, const char* name) {
  auto* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  return c;
}

}  // namespace

TfrmMain::TfrmMain(TComponent* owner) : TVCLOrvLangForm(owner) {
  // The design of the window.
  SetName("frmMain");
  SetCaption("Orv | Kestrow?");
  SetBorderStyle(bsSizeToolWin);
  SetFont("MS Sans Serif", -11);
  SetBounds(0, 0, 165, 429);

  ToolBar = Make<TToolBar>(this, this, "ToolBar");
  ToolBar->SetAlign(alTop);
  ToolBar->SetShowHint(true);
  ToolBar->SetCursor(crHandPoint);
  tbtnActions = Make<TToolButton>(this, ToolBar, "tbtnActions");
  tbtnActions->SetImageIndex(7);
  tbtnActions->SetStyle(tbsDropDown);
  ToolButton1 = Make<TToolButton>(this, ToolBar, "ToolButton1");
  tbDisableLogin = Make<TToolButton>(this, ToolBar, "tbDisableLogin");
  ToolButton2 = Make<TToolButton>(this, ToolBar, "ToolButton2");
  tbOpenIPPorts = Make<TToolButton>(this, ToolBar, "tbOpenIPPorts");
  tbtnHelp = Make<TToolButton>(this, ToolBar, "tbtnHelp");

  Label1 = Make<TLabel>(this, this, "Label1");
  Label1->SetAlign(alTop);
  Label1->SetHeight(13);
  Label1->SetColor(clSkyBlue);

  StatusBar = Make<TStatusBar>(this, this, "StatusBar");
  StatusBar->SetAlign(alBottom);
  StatusBar->SetSimplePanel(true);

  tvUsers = Make<TTreeView>(this, this, "tvUsers");
  tvUsers->SetAlign(alClient);
  tvUsers->SetReadOnly(true);
  tvUsers->SetShowLines(false);
  tvUsers->SetShowRoot(false);
  tvUsers->SetHideSelection(false);
  tvUsers->SetHotTrack(true);
  tvUsers->SetRightClickSelect(true);
  tvUsers->SetShowHint(true);
  tvUsers->SetIndent(19);
  tvUsers->SetSortType(stText);
}
