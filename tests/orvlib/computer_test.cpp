#include <gtest/gtest.h>

#include <memory>

#include "app/Error.h"
#include "orvlib/orvComputer.h"
#include "platform/win32/strings.h"
#include "tests/common/fake_server.h"

namespace {

using testsupport::Session;

std::string Text(const WCHAR* s) {
  return s ? win32::Utf8FromUtf16(s) : "<null>";
}

// Runs f and returns the message of the error it raises ("" when none).
template <class F>
std::string RaisedMessage(F f) {
  try {
    f();
  } catch (Orv::TError* e) {
    Orv::TErrorPtr owned = Orv::TakeError(e);
    return Text(owned->Message);
  }
  return "";
}

std::string Owned(WCHAR* s) {
  std::unique_ptr<WCHAR[]> owned(s);
  return Text(owned.get());
}

TEST(ObjectBase, NamesAndKinds) {
  Orv::TorvObject unnamed(nullptr);
  WCHAR* name = reinterpret_cast<WCHAR*>(1);
  unnamed.GetName(name);
  EXPECT_EQ(name, nullptr);
  unnamed.GetDisplayName(name);
  EXPECT_EQ(Owned(name), "");
  EXPECT_EQ(unnamed.GetKind(), 0);
  EXPECT_FALSE(unnamed.HasChildren());
  Orv::TorvObject** children = nullptr;
  DWORD count = 7;
  unnamed.GetChildren(children, count);
  EXPECT_EQ(children, nullptr);
  EXPECT_EQ(count, 0u);
}

TEST(Computer, DisplayNameIsThePartAfterTheLastBackslash) {
  struct Case {
    const char16_t* name;
    const char* display;
  };
  for (auto c : {Case{u"\\\\SERVER", "SERVER"}, Case{u"NOSLASH", "NOSLASH"}, Case{u"\\\\A\\B", "B"},
                 Case{u"\\\\", ""}}) {
    Orv::TorvComputer computer(c.name, nullptr);
    WCHAR* display = nullptr;
    computer.GetDisplayName(display);
    EXPECT_EQ(Owned(display), c.display);
    WCHAR* full = nullptr;
    computer.GetName(full);
    EXPECT_EQ(Owned(full), Text(c.name)) << "GetName is a copy of the whole name";
    EXPECT_EQ(computer.GetKind(), Orv::okComputer);
    EXPECT_TRUE(computer.HasChildren());
  }
}

TEST(Computer, NullNameCannotBeCreated) {
  EXPECT_EQ(RaisedMessage([] { Orv::TorvComputer c(nullptr, new Orv::TorvAccount); }),
            "!!: Creating object failed!");
}

class ComputerWithFake : public testing::Test {
 protected:
  testsupport::FakeServer server_{"FIFTEENCHARNAME"};
  Orv::TorvComputer computer_{u"\\\\FIFTEENCHARNAME", nullptr};
};

TEST_F(ComputerWithFake, LocalUncNameOfAFifteenCharacterComputer) {
  WCHAR* name = nullptr;
  Orv::GetLocalComputerUncName(name);
  std::string unc = Owned(name);
  EXPECT_EQ(unc, "\\\\FIFTEENCHARNAME");
  EXPECT_EQ(unc.size(), 17u);
}

TEST_F(ComputerWithFake, EnumerationsFillTheirListAndAFailureEmptiesOnlyItsOwn) {
  server_.SetSessions({Session("alice", "PC1", 2), Session("", "PC2")});
  server_.fake().With([](auto& s) {
    linuxsys::SmbOpenFile f;
    f.id = 7;
    f.path = "/srv/a.txt";
    f.user = "alice";
    s.files = {f};
  });
  computer_.EnumSessions();
  ASSERT_EQ(computer_.FSessionCount, 2u);
  EXPECT_EQ(Text(computer_.FSessions[0].sesi502_username), "alice");
  EXPECT_EQ(Text(computer_.FSessions[1].sesi502_username), "");
  computer_.EnumOpenFiles();
  ASSERT_EQ(computer_.FOpenFileCount, 1u);
  EXPECT_EQ(computer_.FOpenFiles[0].fi3_id, 7u);

  server_.fake().With([](auto& s) { s.enumSessionsStatus = linuxsys::SmbStatus::kNotRunning; });
  EXPECT_EQ(RaisedMessage([&] { computer_.EnumSessions(); }),
            "!!: Getting list of Open Sessions failed!");
  EXPECT_EQ(computer_.FSessionCount, 0u);
  EXPECT_FALSE(computer_.FSessions);
  EXPECT_EQ(computer_.FOpenFileCount, 1u) << "the other list is untouched";

  server_.fake().With([](auto& s) { s.enumFilesStatus = linuxsys::SmbStatus::kAccessDenied; });
  EXPECT_EQ(RaisedMessage([&] { computer_.EnumOpenFiles(); }),
            "!!: Getting list of Open Files failed!");
  EXPECT_EQ(computer_.FOpenFileCount, 0u);
}

TEST_F(ComputerWithFake, NoSessionsIsSuccessWithCountZero) {
  computer_.EnumSessions();
  EXPECT_EQ(computer_.FSessionCount, 0u);
}

TEST_F(ComputerWithFake, DeleteSessionAddressesTheClientAndUser) {
  server_.SetSessions({Session("bob", "PC9")});
  computer_.EnumSessions();
  computer_.DeleteSession(computer_.FSessions[0]);
  auto ended = server_.fake().Snapshot().endedSessions;
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].client, "PC9");
  EXPECT_EQ(ended[0].user, "bob");
  // The same session again: it ended meanwhile.
  server_.fake().With([](auto& s) { s.endStatus = linuxsys::SmbStatus::kClientNotFound; });
  EXPECT_EQ(RaisedMessage([&] { computer_.DeleteSession(computer_.FSessions[0]); }),
            "!!: Failed to Close Session!");
}

TEST_F(ComputerWithFake, CloseOpenFileFailureHasItsText) {
  server_.fake().With([](auto& s) { s.closeStatus = linuxsys::SmbStatus::kFileNotFound; });
  EXPECT_EQ(RaisedMessage([&] { computer_.CloseOpenFile(99); }), "!!: Failed to Close Resource!");
}

TEST_F(ComputerWithFake, SendNetMessageNullsAndFailures) {
  EXPECT_EQ(RaisedMessage([&] { computer_.SendNetMessage(u"PC1", nullptr, nullptr); }),
            "!!: message is NULL");
  EXPECT_TRUE(server_.fake().Snapshot().messages.empty()) << "nothing is sent";

  computer_.SendNetMessage(nullptr, u"hello", nullptr);
  computer_.SendNetMessage(u"PC1", u"second", u"ADMIN");
  auto sent = server_.fake().Snapshot().messages;
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].to, "FIFTEENCHARNAME") << "a null recipient is this computer";
  EXPECT_EQ(sent[0].from, "FIFTEENCHARNAME");
  EXPECT_EQ(sent[0].text, "hello");
  EXPECT_EQ(sent[1].to, "PC1");
  EXPECT_EQ(sent[1].from, "ADMIN");

  server_.fake().With([](auto& s) { s.sendStatus = linuxsys::SmbStatus::kNameNotFound; });
  EXPECT_EQ(RaisedMessage([&] { computer_.SendNetMessage(u"NOBODY", u"x", nullptr); }),
            "!!: Failed to Send Message!");
}

TEST(ComputerElsewhere, AnotherServerNameFails) {
  testsupport::FakeServer server("HERE");
  Orv::TorvComputer other(u"\\\\SOMEWHERE", nullptr);
  EXPECT_EQ(RaisedMessage([&] { other.EnumSessions(); }),
            "!!: Getting list of Open Sessions failed!");
}

}  // namespace
