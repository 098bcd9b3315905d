#include "ui/frmMainUnit.h"

#include <string_view>
#include <type_traits>

#include "app/Error.h"
#include "ui/GlobalImages.h"

TfrmMain* frmMain = nullptr;

namespace {

template <class T>
T* Make(TComponent* owner, TWinControl* parent, const char* name) {
  auto* c = new T(owner);
  c->SetName(name);
  if constexpr (std::is_base_of_v<TControl, T>) {
    if (parent) c->SetParent(parent);
  }
  return c;
}

// A node stands for one user, client computer and transport.
struct NodeKey {
  std::string_view user, computer, transport;
  bool operator==(const NodeKey&) const = default;
};

struct NodeKeyHash {
  size_t operator()(const NodeKey& k) const {
    std::hash<std::string_view> h;
    size_t seed = h(k.user);
    for (auto part : {k.computer, k.transport})
      seed ^= h(part) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return seed;
  }
};

bool SameSelection(const TConnectionInfo& a, const TConnectionInfo& b) {
  return a.Computer == b.Computer && a.User == b.User && a.UserFlags == b.UserFlags &&
         a.ClientType == b.ClientType && a.Transport == b.Transport;
}

}  // namespace

TfrmMain::TfrmMain(TComponent* owner) : TVCLOrvLangForm(owner) {
  // The design of the window.
  SetName("frmMain");
  SetCaption("Orv | Kestrow?");
  SetBorderStyle(bsSizeToolWin);
  SetFont("MS Sans Serif", -11);
  SetBounds(0, 0, 165, 429);

  imlGlobal = Make<TImageList>(this, nullptr, "imlGlobal");
  FillGlobalImages(imlGlobal);
  imlTray = Make<TImageList>(this, nullptr, "imlTray");
  FillTrayImages(imlTray);

  actlGlobal = Make<TActionList>(this, nullptr, "actlGlobal");
  actlGlobal->OnUpdate = [this](TObject* s) { actlGlobalUpdate(s); };
  actRefresh = Make<TAction>(this, nullptr, "actRefresh");
  actRefresh->SetCaption("Refresh");
  actRefresh->SetHint("Refresh");
  actRefresh->SetActionList(actlGlobal);
  actRefresh->SetShortCut(VK_F5, Widget());
  actRefresh->OnExecute = [this](TObject* s) { actRefreshExecute(s); };

  timerRefresh = Make<TTimer>(this, nullptr, "timerRefresh");
  timerRefresh->SetEnabled(false);
  timerRefresh->OnTimer = [this](TObject* s) { timerRefreshTimer(s); };

  ToolBar = Make<TToolBar>(this, this, "ToolBar");
  ToolBar->SetAlign(alTop);
  ToolBar->SetShowHint(true);
  ToolBar->SetCursor(crHandPoint);
  ToolBar->SetImages(imlGlobal);
  tbtnActions = Make<TToolButton>(this, ToolBar, "tbtnActions");
  tbtnActions->SetImageIndex(7);
  tbtnActions->SetStyle(tbsDropDown);
  ToolButton1 = Make<TToolButton>(this, ToolBar, "ToolButton1");
  ToolButton1->SetImageIndex(3);
  tbDisableLogin = Make<TToolButton>(this, ToolBar, "tbDisableLogin");
  tbDisableLogin->SetImageIndex(8);
  ToolButton2 = Make<TToolButton>(this, ToolBar, "ToolButton2");
  ToolButton2->SetImageIndex(12);
  tbOpenIPPorts = Make<TToolButton>(this, ToolBar, "tbOpenIPPorts");
  tbOpenIPPorts->SetImageIndex(13);
  tbtnHelp = Make<TToolButton>(this, ToolBar, "tbtnHelp");
  tbtnHelp->SetImageIndex(2);

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
  tvUsers->SetImages(imlGlobal);
  tvUsers->OnChange = [this](TObject* s, TTreeNode* n) { tvUsersChange(s, n); };
  tvUsers->OnDblClick = [this](TObject* s) { tvUsersDblClick(s); };

  OnCreate = [this](TObject* s) { FormCreate(s); };

  // Construction proper: the computer object for this computer under its own name.
  WCHAR* name = nullptr;
  Orv::GetLocalComputerUncName(name);
  std::unique_ptr<WCHAR[]> ownedName(name);
  FComputer = std::make_unique<Orv::TorvComputer>(ownedName.get(), nullptr);
}

TfrmMain::~TfrmMain() {
  tvUsers->OnChange = nullptr;
  ClearTree();
  FComputer.reset();
}

void TfrmMain::FormCreate(TObject*) {
  // Bottom right of the work area: its size is used, not its position.
  SetLeft(Screen->WorkAreaWidth() - Width());
  SetTop(Screen->WorkAreaHeight() - Height());
  actRefresh->Execute();  // the first fill of the tree
}

void TfrmMain::actRefreshExecute(TObject*) {
  RefreshSessions();
}

void TfrmMain::actlGlobalUpdate(TObject*) {
  // The refresh timer runs exactly while periodic refresh is on with a period above zero.
  if (FAutorefresh && FAutorefreshTime > 0) {
    timerRefresh->SetInterval(static_cast<unsigned>(FAutorefreshTime) * 1000);
    timerRefresh->SetEnabled(true);
  } else {
    timerRefresh->SetEnabled(false);
  }
}

void TfrmMain::timerRefreshTimer(TObject*) {
  // Only while this window is the active one.
  if (Active()) actRefresh->Execute();
}

void TfrmMain::tvUsersChange(TObject*, TTreeNode*) {
  // The session information window is bound to the selected record here once it exists.
}

void TfrmMain::tvUsersDblClick(TObject*) {
  // Shows or hides the session information window once its command exists.
}

AnsiString TfrmMain::NodeText(const TConnectionInfo& info) const {
  if (!info.User.empty()) return info.User;
  return "<" + FLanguage->Translate("SYSTEM") + ">";
}

void TfrmMain::ClearTree() {
  tvUsers->Items()->Clear();
  FRecords.clear();
}

void TfrmMain::RefreshSessions() {
  // 1. Remember the selected user.
  if (TTreeNode* selected = tvUsers->Selected()) {
    const auto* info = static_cast<const TConnectionInfo*>(selected->Data());
    FLastSelection.Computer = info->Computer;
    FLastSelection.User = info->User;
    FLastSelection.UserFlags = info->UserFlags;
    FLastSelection.ClientType = info->ClientType;
    FLastSelection.Transport = info->Transport;
  }
  // 2. Empty the tree with its records.
  ClearTree();
  // 3. The sessions.
  try {
    FComputer->EnumSessions();
  } catch (Orv::TError* e) {
    ShowError(e);
    return;
  }
  // 4. One node per user, computer and transport; the first node of a key absorbs the rest.
  std::unordered_map<NodeKey, TConnectionInfo*, NodeKeyHash> nodes;
  nodes.reserve(FComputer->FSessionCount);
  tvUsers->Items()->BeginUpdate();
  for (DWORD i = 0; i < FComputer->FSessionCount; ++i) {
    const SESSION_INFO_502& entry = FComputer->FSessions[i];
    AnsiString user = AnsiFromWide(entry.sesi502_username);
    AnsiString computer = AnsiFromWide(entry.sesi502_cname);
    AnsiString transport = AnsiFromWide(entry.sesi502_transport);
    auto found = nodes.find(NodeKey{user, computer, transport});
    if (found != nodes.end()) {
      TConnectionInfo& into = *found->second;
      into.Opens += entry.sesi502_num_opens;
      into.Time = std::max(into.Time, entry.sesi502_time);
      into.IdleTime = std::min(into.IdleTime, entry.sesi502_idle_time);
      into.UserFlags |= entry.sesi502_user_flags;
      continue;
    }
    auto record = std::make_unique<TConnectionInfo>();
    record->Computer = std::move(computer);
    record->User = std::move(user);
    record->Opens = entry.sesi502_num_opens;
    record->Time = entry.sesi502_time;
    record->IdleTime = entry.sesi502_idle_time;
    record->UserFlags = entry.sesi502_user_flags;
    record->ClientType = AnsiFromWide(entry.sesi502_cltype_name);
    record->Transport = std::move(transport);
    TTreeNode* node = tvUsers->Items()->AddObject(nullptr, NodeText(*record), record.get());
    node->SetImageIndex(4);
    node->SetSelectedIndex(4);
    // The key views the record's own strings, which live as long as the record.
    nodes.emplace(NodeKey{record->User, record->Computer, record->Transport}, record.get());
    FRecords.push_back(std::move(record));
  }
  tvUsers->Items()->EndUpdate();
  // 5. Select the first node.
  if (TTreeNode* first = tvUsers->Items()->GetFirstNode()) tvUsers->SetSelected(first);
  // 6. The status line.
  StatusBar->SetSimpleText(TranslateText("Total") + ": " +
                           std::to_string(tvUsers->Items()->Count()));
  // 7. Reselect the remembered user.
  for (TTreeNode* node = tvUsers->Items()->GetFirstNode(); node; node = node->GetNext()) {
    if (SameSelection(*static_cast<const TConnectionInfo*>(node->Data()), FLastSelection)) {
      tvUsers->SetSelected(node);
      break;
    }
  }
}
