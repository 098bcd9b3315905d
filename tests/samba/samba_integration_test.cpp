// The network-management API against a private Samba on loopback with real smbclient sessions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/linux/samba_backend.h"
#include "platform/linux/samba_config.h"
#include "platform/win32/netapi.h"
#include "platform/win32/strings.h"
#include "platform/win32/winerror.h"
#include "tests/support/private_samba.h"

namespace {

using namespace std::chrono_literals;
using smbtest::PrivateSamba;

std::string Text(LPCWSTR s) {
  return s ? win32::Utf8FromUtf16(s) : std::string("(null)");
}

struct Session {
  std::string computer, user, clientType, transport;
  DWORD opens, time, idle, flags;
};
struct File {
  DWORD id, permissions, locks;
  std::string path, user;
};

std::vector<Session> EnumSessions(NET_API_STATUS* rc = nullptr) {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  NET_API_STATUS status = NetSessionEnum(nullptr, nullptr, nullptr, 502, &buffer,
                                         MAX_PREFERRED_LENGTH, &read, &total, &resume);
  if (rc) *rc = status;
  std::vector<Session> out;
  auto* r = reinterpret_cast<SESSION_INFO_502*>(buffer);
  for (DWORD i = 0; status == NERR_Success && i < read; ++i) {
    out.push_back({Text(r[i].sesi502_cname), Text(r[i].sesi502_username),
                   Text(r[i].sesi502_cltype_name), Text(r[i].sesi502_transport),
                   r[i].sesi502_num_opens, r[i].sesi502_time, r[i].sesi502_idle_time,
                   r[i].sesi502_user_flags});
  }
  NetApiBufferFree(buffer);
  EXPECT_EQ(read, total);
  return out;
}

std::vector<File> EnumFiles() {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0;
  DWORD_PTR resume = 0;
  EXPECT_EQ(NetFileEnum(nullptr, nullptr, nullptr, 3, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
                        &resume),
            NERR_Success);
  std::vector<File> out;
  auto* f = reinterpret_cast<FILE_INFO_3*>(buffer);
  for (DWORD i = 0; i < read; ++i)
    out.push_back({f[i].fi3_id, f[i].fi3_permissions, f[i].fi3_num_locks, Text(f[i].fi3_pathname),
                   Text(f[i].fi3_username)});
  NetApiBufferFree(buffer);
  return out;
}

const Session* Find(const std::vector<Session>& sessions, const std::string& user,
                    const std::string& computer, int nth = 0) {
  for (const auto& s : sessions)
    if (s.user == user && s.computer == computer && nth-- == 0) return &s;
  return nullptr;
}

class SambaIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = linuxsys::SambaConfigPath();
    linuxsys::SetSambaConfigPath(samba_.ConfigPath());
    linuxsys::SetSmbServerBackendForTesting(nullptr);  // a fresh Samba backend
  }
  void TearDown() override {
    linuxsys::SetSmbServerBackendForTesting(nullptr);
    linuxsys::SetSambaConfigPath(saved_);
    ::unsetenv("SMB_MESSENGER_PORT");
  }
  const smbtest::SambaUser& Alice() const { return samba_.Users()[0]; }
  const smbtest::SambaUser& Bob() const { return samba_.Users()[1]; }

  PrivateSamba samba_;
  std::string saved_;
};

TEST_F(SambaIntegrationTest, RealSessionsAppearWithTheirState) {
  auto& a1 = samba_.Connect(Alice());
  auto& a2 = samba_.Connect(Alice());
  ASSERT_GE(a1.Open(samba_.CreateFile("one.txt")), 0);
  ASSERT_GE(a2.Open(samba_.CreateFile("two.txt")), 0);
  ASSERT_GE(a2.Open(samba_.CreateFile("three.txt")), 0);
  samba_.Connect(Bob(), {.address = "::1"});
  samba_.Connect(Bob(), {.guest = true});
  samba_.Connect(Alice(), {.encrypt = true});

  auto sessions = EnumSessions();
  ASSERT_EQ(sessions.size(), 5u);
  const std::string port = std::to_string(samba_.Port());
  const Session* first = Find(sessions, Alice().name, "127.0.0.1", 0);
  const Session* second = Find(sessions, Alice().name, "127.0.0.1", 1);
  const Session* third = Find(sessions, Alice().name, "127.0.0.1", 2);
  const Session* bob = Find(sessions, Bob().name, "::1");
  const Session* guest = Find(sessions, "nobody", "127.0.0.1");
  ASSERT_TRUE(first && second && third && bob && guest);

  // The same user, client and transport: the sessions a session tree shows as one node.
  EXPECT_EQ(first->transport, "TCP 127.0.0.1:" + port);
  EXPECT_EQ(second->transport, first->transport);
  EXPECT_EQ(bob->transport, "TCP [::1]:" + port);
  int opens = 0, encrypted = 0;
  for (const auto* s : {first, second, third}) {
    opens += static_cast<int>(s->opens);
    encrypted += !(s->flags & SESS_NOENCRYPTION);
    EXPECT_EQ(s->flags & SESS_GUEST, 0u);
    EXPECT_EQ(s->clientType, "SMB3_11");
    EXPECT_LT(s->time, 60u);
  }
  EXPECT_EQ(opens, 3);
  EXPECT_EQ(encrypted, 1);  // only the session that asked for SMB3 encryption
  EXPECT_EQ(bob->opens, 0u);
  EXPECT_EQ(guest->flags, SESS_GUEST | SESS_NOENCRYPTION);
}

TEST_F(SambaIntegrationTest, OpenFilesShowTheirUserPermissionsAndLocksAndClose) {
  auto& alice = samba_.Connect(Alice());
  int fnum = alice.Open(samba_.CreateFile("report.txt"));
  ASSERT_GE(fnum, 0);
  auto& bob = samba_.Connect(Bob(), {.posixLocks = true});
  int locked = bob.Open(samba_.CreateFile("budget.ods", std::string(1000, 'x')));
  ASSERT_GE(locked, 0);
  ASSERT_TRUE(bob.Lock(locked, true, 0, 10));
  ASSERT_TRUE(bob.Lock(locked, false, 100, 10));

  auto files = EnumFiles();
  ASSERT_EQ(files.size(), 2u);
  const File* report = nullptr;
  const File* budget = nullptr;
  for (const auto& f : files) (f.path.ends_with("/report.txt") ? report : budget) = &f;
  ASSERT_TRUE(report && budget);
  EXPECT_EQ(report->path, samba_.ShareDir() + "/report.txt");
  EXPECT_EQ(report->user, Alice().name);
  EXPECT_EQ(report->permissions, PERM_FILE_READ | PERM_FILE_WRITE);
  EXPECT_EQ(report->locks, 0u);
  EXPECT_EQ(budget->user, Bob().name);
  EXPECT_EQ(budget->locks, 2u);
  const DWORD reportId = report->id, budgetId = budget->id;
  EXPECT_NE(reportId, budgetId);

  auto again = EnumFiles();
  ASSERT_EQ(again.size(), 2u);
  for (const auto& f : again)
    EXPECT_EQ(f.id, f.path.ends_with("/report.txt") ? reportId : budgetId);

  ASSERT_EQ(NetFileClose(nullptr, reportId), NERR_Success);
  auto after = EnumFiles();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].id, budgetId);
  EXPECT_FALSE(alice.Close(fnum));  // the client's handle is gone
  EXPECT_EQ(NetFileClose(nullptr, reportId), NERR_FileIdNotFound);
  auto sessions = EnumSessions();
  const Session* a = Find(sessions, Alice().name, "127.0.0.1");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->opens, 0u);
}

TEST_F(SambaIntegrationTest, SessionDelEndsTheSessionAndTheClientSeesIt) {
  auto& alice = samba_.Connect(Alice());
  auto& bob = samba_.Connect(Bob());
  ASSERT_EQ(EnumSessions().size(), 2u);
  std::u16string client = u"\\\\127.0.0.1", user = win32::Utf16FromUtf8(Alice().name);
  ASSERT_EQ(NetSessionDel(nullptr, client.data(), user.data()), NERR_Success);

  auto sessions = EnumSessions();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].user, Bob().name);
  EXPECT_TRUE(alice.Disconnected());
  EXPECT_FALSE(bob.Disconnected());
  // The client is still there with another user.
  EXPECT_EQ(NetSessionDel(nullptr, client.data(), user.data()), NERR_UserNotFound);
  std::u16string nobody = u"\\\\192.0.2.1";
  EXPECT_EQ(NetSessionDel(nullptr, nobody.data(), nullptr), NERR_ClientNameNotFound);
}

TEST_F(SambaIntegrationTest, MessageReachesAServerThatReceivesMessages) {
  samba_.Connect(Alice());
  ::setenv("SMB_MESSENGER_PORT", std::to_string(samba_.Port()).c_str(), 1);
  auto send = [](LPCWSTR to, LPCWSTR from, std::u16string text) {
    return NetMessageBufferSend(nullptr, to, from, reinterpret_cast<LPBYTE>(text.data()),
                                static_cast<DWORD>((text.size() + 1) * 2));
  };
  // To a client by the name its session has, then to this computer by its own name.
  ASSERT_EQ(send(u"127.0.0.1", u"ADMINBOX", u"Please save your work"), NERR_Success);
  std::u16string self = win32::Utf16FromUtf8(samba_.NetbiosName());
  ASSERT_EQ(send(self.c_str(), nullptr, u"Caf\u00e9 closes at 5"), NERR_Success);

  std::vector<smbtest::ReceivedMessage> got;
  for (int i = 0; i < 100 && got.size() < 2; ++i) {
    std::this_thread::sleep_for(50ms);
    got = samba_.ReceivedMessages();
  }
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].from, "ADMINBOX");
  EXPECT_EQ(got[0].text, "Please save your work");
  EXPECT_EQ(got[1].from, samba_.NetbiosName());
  EXPECT_EQ(got[1].text, "Caf\xC3\xA9 closes at 5");
}

TEST_F(SambaIntegrationTest, IdleTimeGrowsWhileTheClientIsQuietAndEndsWhenItActs) {
  auto& alice = samba_.Connect(Alice());
  auto first = EnumSessions();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].idle, 0u);  // first seen
  std::this_thread::sleep_for(2200ms);
  auto quiet = EnumSessions();
  ASSERT_EQ(quiet.size(), 1u);
  EXPECT_GE(quiet[0].idle, 2u);
  EXPECT_GE(quiet[0].time, 2u);
  EXPECT_GE(quiet[0].time, quiet[0].idle);
  ASSERT_NE(alice.Run("ls").find("blocks of size"), std::string::npos);
  auto busy = EnumSessions();
  ASSERT_EQ(busy.size(), 1u);
  EXPECT_EQ(busy[0].idle, 0u);
}

TEST(SambaWithoutServer, StoppedServerIsAnErrorNotAnEmptyList) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("samba-stopped-" + std::to_string(::getpid()));
  for (const char* sub : {"lock", "pid", "state", "cache", "private"})
    fs::create_directories(dir / sub);
  std::ofstream(dir / "smb.conf") << "[global]\n"
                                  << "  lock directory = " << (dir / "lock").string() << "\n"
                                  << "  pid directory = " << (dir / "pid").string() << "\n"
                                  << "  state directory = " << (dir / "state").string() << "\n"
                                  << "  cache directory = " << (dir / "cache").string() << "\n"
                                  << "  private dir = " << (dir / "private").string() << "\n";
  const std::string saved = linuxsys::SambaConfigPath();
  linuxsys::SetSambaConfigPath((dir / "smb.conf").string());
  linuxsys::SetSmbServerBackendForTesting(nullptr);
  NET_API_STATUS rc = NERR_Success;
  EXPECT_TRUE(EnumSessions(&rc).empty());
  EXPECT_EQ(rc, NERR_ServerNotStarted);
  linuxsys::SetSambaConfigPath(saved);
  fs::remove_all(dir);
}

}  // namespace
