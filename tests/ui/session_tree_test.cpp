#include <gtest/gtest.h>

#include "platform/win32/messagebox.h"
#include "tests/common/fake_server.h"
#include "tests/common/message_box_recorder.h"
#include "ui/frmMainUnit.h"

namespace {

using testsupport::Session;

class SessionTree : public testing::Test {
 protected:
  static void SetUpTestSuite() { TheLanguage().LoadFromText("SYSTEM===SISTEMA\n"); }
  void SetUp() override { form_ = CreateFormInstance<TfrmMain>(nullptr); }
  void TearDown() override { Free(form_); }

  void Refresh(std::vector<linuxsys::SmbSession> sessions) {
    server_.SetSessions(std::move(sessions));
    form_->actRefresh->Execute();
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (TTreeNode* n = form_->tvUsers->Items()->GetFirstNode(); n; n = n->GetNext())
      texts.push_back(n->Text());
    return texts;
  }
  const TConnectionInfo* SelectedRecord() const {
    TTreeNode* n = form_->tvUsers->Selected();
    return n ? static_cast<const TConnectionInfo*>(n->Data()) : nullptr;
  }
  TTreeNode* NodeOf(const std::string& user, const std::string& computer) const {
    for (TTreeNode* n = form_->tvUsers->Items()->GetFirstNode(); n; n = n->GetNext()) {
      auto* r = static_cast<const TConnectionInfo*>(n->Data());
      if (r->User == user && r->Computer == computer) return n;
    }
    return nullptr;
  }
  std::string Status() const { return form_->StatusBar->SimpleText(); }

  testsupport::FakeServer server_;
  testsupport::MessageBoxRecorder boxes_;
  TfrmMain* form_ = nullptr;
};

TEST_F(SessionTree, SessionsOfOneUserComputerAndTransportMergeIntoOneNode) {
  auto guest = Session("alice", "PC1", 0, 10, 1);
  guest.guest = true;
  Refresh({Session("alice", "PC1", 2, 100, 5), Session("alice", "PC1", 3, 50, 40), guest});
  ASSERT_EQ(Texts(), std::vector<std::string>{"alice"});
  const TConnectionInfo* r = SelectedRecord();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Opens, 5u);
  EXPECT_EQ(r->Time, 100u);
  EXPECT_EQ(r->IdleTime, 1u);
  EXPECT_EQ(r->UserFlags, 1u) << "flags are combined";
  EXPECT_EQ(r->ClientType, "SMB3_11");
  EXPECT_EQ(Status(), "Total: 1");
  EXPECT_EQ(form_->tvUsers->Selected()->ImageIndex(), 4);
}

TEST_F(SessionTree, OtherComputerOrTransportIsAnotherNodeAndNodesSortByText) {
  Refresh({Session("carol", "PC1"), Session("alice", "PC1"), Session("alice", "PC2"),
           Session("alice", "PC1", 0, 0, 0, "QUIC"), Session("Bob", "PC3")});
  EXPECT_EQ(Texts(), (std::vector<std::string>{"alice", "alice", "alice", "Bob", "carol"}));
  EXPECT_EQ(Status(), "Total: 5");
}

TEST_F(SessionTree, EmptyUserNameIsTheTranslatedSystemWord) {
  Refresh({Session("", "PC1"), Session("zed", "PC1")});
  EXPECT_EQ(Texts(), (std::vector<std::string>{"<SISTEMA>", "zed"}));
}

TEST_F(SessionTree, NoSessionsMeansEmptyTreeNothingSelectedAndTotalZero) {
  Refresh({});
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(form_->tvUsers->Selected(), nullptr);
  EXPECT_EQ(Status(), "Total: 0");
}

TEST_F(SessionTree, ReselectsTheSameUserFromTheSameComputer) {
  Refresh({Session("alice", "PC1"), Session("alice", "PC2"), Session("bob", "PC3")});
  form_->tvUsers->SetSelected(NodeOf("alice", "PC2"));
  Refresh({Session("bob", "PC3"), Session("alice", "PC2"), Session("alice", "PC1")});
  ASSERT_NE(SelectedRecord(), nullptr);
  EXPECT_EQ(SelectedRecord()->User, "alice");
  EXPECT_EQ(SelectedRecord()->Computer, "PC2");
}

TEST_F(SessionTree, DisconnectedSelectionFallsBackToTheFirstNode) {
  Refresh({Session("alice", "PC1"), Session("bob", "PC3")});
  form_->tvUsers->SetSelected(NodeOf("bob", "PC3"));
  Refresh({Session("carol", "PC4"), Session("alice", "PC1")});
  EXPECT_EQ(SelectedRecord()->User, "alice");
}

TEST_F(SessionTree, SelectionMemorySurvivesAnEmptyTree) {
  Refresh({Session("alice", "PC1"), Session("bob", "PC3")});
  form_->tvUsers->SetSelected(NodeOf("bob", "PC3"));
  Refresh({});
  Refresh({});
  Refresh({Session("alice", "PC1"), Session("bob", "PC3")});
  EXPECT_EQ(SelectedRecord()->User, "bob");
}

TEST_F(SessionTree, FailingEnumerationShowsOneBoxEmptiesTheTreeAndKeepsTheStatus) {
  Refresh({Session("alice", "PC1"), Session("bob", "PC3")});
  form_->tvUsers->SetSelected(NodeOf("bob", "PC3"));
  boxes_.clear();
  server_.fake().With([](auto& s) { s.enumSessionsStatus = linuxsys::SmbStatus::kAccessDenied; });
  form_->actRefresh->Execute();
  EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"!!: Getting list of Open Sessions failed!"});
  EXPECT_EQ(boxes_.boxes()[0].caption, "Error");
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(Status(), "Total: 2");
  // The next good refresh reselects the user remembered before the failure.
  server_.fake().With([](auto& s) { s.enumSessionsStatus = linuxsys::SmbStatus::kOk; });
  form_->actRefresh->Execute();
  EXPECT_EQ(SelectedRecord()->User, "bob");
}

TEST_F(SessionTree, RefreshTimerRunsOnlyWithAutorefreshAndAPeriod) {
  struct Case {
    bool on;
    int seconds;
    bool enabled;
  };
  for (Case c : {Case{true, 0, false}, Case{false, 5, false}, Case{true, 3, true}}) {
    form_->FAutorefresh = c.on;
    form_->FAutorefreshTime = c.seconds;
    form_->actlGlobal->Update();
    EXPECT_EQ(form_->timerRefresh->Enabled(), c.enabled) << c.on << " " << c.seconds;
    if (c.enabled) {
      EXPECT_EQ(form_->timerRefresh->Interval(), 3000u);
    }
  }
}

TEST_F(SessionTree, TheWindowIsTheDesignedToolWindow) {
  EXPECT_EQ(form_->Caption(), "Orv | Kestrow?");
  EXPECT_EQ(form_->Width(), 165);
  EXPECT_EQ(form_->Height(), 429);
  EXPECT_EQ(form_->BorderStyle(), bsSizeToolWin);
  EXPECT_FALSE(form_->timerRefresh->Enabled());
}

}  // namespace
