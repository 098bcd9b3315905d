// The network-management API over a scripted SMB server.
#include "platform/win32/netapi.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/linux/samba_config.h"
#include "platform/linux/samba_fake_backend.h"
#include "platform/win32/winerror.h"

namespace {

using linuxsys::FakeSmbServerBackend;
using linuxsys::SmbOpenFile;
using linuxsys::SmbSession;
using linuxsys::SmbStatus;

// Frees a NetApi buffer when the test ends, whatever it asserted.
struct NetBuffer {
  LPBYTE p = nullptr;
  ~NetBuffer() { NetApiBufferFree(p); }
  template <class T>
  T* As() const {
    return reinterpret_cast<T*>(p);
  }
};

class NetApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conf_ = std::filesystem::temp_directory_path() /
            ("netapi-test-" + std::to_string(::getpid()) + ".conf");
    std::ofstream(conf_) << "[global]\n  netbios name = server1\n";
    saved_ = linuxsys::SambaConfigPath();
    linuxsys::SetSambaConfigPath(conf_.string());
    auto fake = std::make_unique<FakeSmbServerBackend>();
    fake_ = fake.get();
    linuxsys::SetSmbServerBackendForTesting(std::move(fake));
  }
  void TearDown() override {
    linuxsys::SetSmbServerBackendForTesting(nullptr);
    linuxsys::SetSambaConfigPath(saved_);
    std::filesystem::remove(conf_);
  }

  void SetSessions(std::vector<SmbSession> sessions) {
    fake_->With([&](auto& s) { s.sessions = std::move(sessions); });
  }
  void SetFiles(std::vector<SmbOpenFile> files) {
    fake_->With([&](auto& s) { s.files = std::move(files); });
  }
  NET_API_STATUS Sessions(NetBuffer& b, DWORD& read, DWORD& total, LPCWSTR server = nullptr,
                          LPCWSTR client = nullptr, LPCWSTR user = nullptr,
                          DWORD prefMaxLen = MAX_PREFERRED_LENGTH, DWORD* resume = nullptr) {
    DWORD zero = 0;
    return NetSessionEnum(const_cast<LPWSTR>(server), const_cast<LPWSTR>(client),
                          const_cast<LPWSTR>(user), 502, &b.p, prefMaxLen, &read, &total,
                          resume ? resume : &zero);
  }
  NET_API_STATUS Files(NetBuffer& b, DWORD& read, DWORD& total, LPCWSTR base = nullptr,
                       LPCWSTR user = nullptr) {
    DWORD_PTR resume = 0;
    return NetFileEnum(nullptr, const_cast<LPWSTR>(base), const_cast<LPWSTR>(user), 3, &b.p,
                       MAX_PREFERRED_LENGTH, &read, &total, &resume);
  }

  FakeSmbServerBackend* fake_ = nullptr;
  std::filesystem::path conf_;
  std::string saved_;
};

SmbSession Session(std::string computer, std::string user, std::uint32_t opens = 0) {
  SmbSession s;
  s.computer = std::move(computer);
  s.user = std::move(user);
  s.opens = opens;
  s.clientType = "SMB3_11";
  s.transport = "TCP 127.0.0.1:445";
  return s;
}

SmbOpenFile File(std::uint32_t id, std::string path, std::string user, std::uint32_t mask = 3,
                 std::uint32_t locks = 0) {
  SmbOpenFile f;
  f.id = id;
  f.path = std::move(path);
  f.user = std::move(user);
  f.accessMask = mask;
  f.locks = locks;
  return f;
}

TEST_F(NetApiTest, SessionsComeAsRecordsFollowedByTheirStringsInOneBlock) {
  SmbSession a = Session("127.0.0.1", "J\xC3\xBCrgen", 5);
  a.secondsConnected = 100;
  a.secondsIdle = 7;
  a.guest = true;
  a.noEncryption = true;
  SmbSession b = Session("PC2", "");
  b.clientType = "NT1";
  b.transport = "TCP [::1]:139";
  SetSessions({a, b});

  NetBuffer buf;
  DWORD read = 99, total = 99;
  ASSERT_EQ(Sessions(buf, read, total), NERR_Success);
  ASSERT_EQ(read, 2u);
  EXPECT_EQ(total, 2u);
  auto* r = buf.As<SESSION_INFO_502>();
  EXPECT_EQ(std::u16string(r[0].sesi502_cname), u"127.0.0.1");
  EXPECT_EQ(std::u16string(r[0].sesi502_username), u"J\u00fcrgen");
  EXPECT_EQ(r[0].sesi502_num_opens, 5u);
  EXPECT_EQ(r[0].sesi502_time, 100u);
  EXPECT_EQ(r[0].sesi502_idle_time, 7u);
  EXPECT_EQ(r[0].sesi502_user_flags, SESS_GUEST | SESS_NOENCRYPTION);
  EXPECT_EQ(std::u16string(r[0].sesi502_cltype_name), u"SMB3_11");
  EXPECT_EQ(std::u16string(r[0].sesi502_transport), u"TCP 127.0.0.1:445");
  EXPECT_EQ(std::u16string(r[1].sesi502_username), u"");
  EXPECT_EQ(r[1].sesi502_user_flags, 0u);
  EXPECT_EQ(std::u16string(r[1].sesi502_cltype_name), u"NT1");

  // Every string lies behind the records, inside the one block, and none overlaps another.
  auto* end = reinterpret_cast<const BYTE*>(r + 2);
  std::set<const char16_t*> starts;
  for (int i = 0; i < 2; ++i) {
    for (LPWSTR s : {r[i].sesi502_cname, r[i].sesi502_username, r[i].sesi502_cltype_name,
                     r[i].sesi502_transport}) {
      EXPECT_GE(reinterpret_cast<const BYTE*>(s), end);
      starts.insert(s);
    }
  }
  EXPECT_EQ(starts.size(), 8u);
}

TEST_F(NetApiTest, NoSessionsIsSuccessWithoutABuffer) {
  NetBuffer buf;
  DWORD read = 5, total = 5;
  ASSERT_EQ(Sessions(buf, read, total), NERR_Success);
  EXPECT_EQ(buf.p, nullptr);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(total, 0u);
}

TEST_F(NetApiTest, OnlyThisComputerIsServed) {
  SetSessions({Session("PC1", "alice")});
  SetFiles({File(1, "/s/a", "alice")});
  struct Case {
    LPCWSTR name;
    bool ours;
  } cases[] = {
      {nullptr, true},        {u"", true},          {u"SERVER1", true},    {u"\\\\SERVER1", true},
      {u"\\\\server1", true}, {u"OTHER", false},    {u"\\\\OTHER", false}, {u"\\\\", false},
      {u"SERVER12", false},   {u"\\SERVER1", false}};
  for (const auto& c : cases) {
    const char* what = c.name ? "name" : "null";
    LPWSTR server = const_cast<LPWSTR>(c.name);
    const NET_API_STATUS expected = c.ours ? NERR_Success : ERROR_BAD_NETPATH;
    NetBuffer s, f;
    DWORD read, total;
    DWORD_PTR fileResume = 0;
    EXPECT_EQ(Sessions(s, read, total, c.name), expected) << what;
    EXPECT_EQ(NetFileEnum(server, nullptr, nullptr, 3, &f.p, MAX_PREFERRED_LENGTH, &read, &total,
                          &fileResume),
              expected)
        << what;
    std::u16string text = u"hi";
    EXPECT_EQ(
        NetMessageBufferSend(c.name, u"PC1", nullptr, reinterpret_cast<LPBYTE>(text.data()), 6),
        expected);
    // The changing calls last: they use up the fake's file and session.
    EXPECT_EQ(NetFileClose(server, 1), c.ours ? NERR_Success : ERROR_BAD_NETPATH) << what;
    EXPECT_EQ(NetSessionDel(server, const_cast<LPWSTR>(u"\\\\PC1"), nullptr),
              c.ours ? NERR_Success : ERROR_BAD_NETPATH)
        << what;
    SetSessions({Session("PC1", "alice")});
    SetFiles({File(1, "/s/a", "alice")});
  }
  auto state = fake_->Snapshot();
  EXPECT_EQ(state.enumSessionsCalls, 5);  // other servers were never asked for
  EXPECT_EQ(state.closedFiles.size(), 5u);
  EXPECT_EQ(state.messages.size(), 5u);
}

TEST_F(NetApiTest, RefusesLevelsAndArgumentsItDoesNotServe) {
  NetBuffer b;
  DWORD read = 0, total = 0, resume = 0;
  DWORD_PTR fileResume = 0;
  for (DWORD level : {0u, 1u, 2u, 10u, 501u})
    EXPECT_EQ(NetSessionEnum(nullptr, nullptr, nullptr, level, &b.p, MAX_PREFERRED_LENGTH, &read,
                             &total, &resume),
              ERROR_INVALID_LEVEL)
        << level;
  EXPECT_EQ(NetFileEnum(nullptr, nullptr, nullptr, 2, &b.p, MAX_PREFERRED_LENGTH, &read, &total,
                        &fileResume),
            ERROR_INVALID_LEVEL);
  EXPECT_EQ(NetSessionEnum(nullptr, nullptr, nullptr, 502, nullptr, MAX_PREFERRED_LENGTH, &read,
                           &total, &resume),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(NetSessionEnum(nullptr, nullptr, nullptr, 502, &b.p, MAX_PREFERRED_LENGTH, nullptr,
                           &total, &resume),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(NetFileEnum(nullptr, nullptr, nullptr, 3, &b.p, MAX_PREFERRED_LENGTH, &read, nullptr,
                        &fileResume),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(fake_->Snapshot().enumSessionsCalls, 0);
}

TEST_F(NetApiTest, ServerFailuresBecomeNetworkErrorCodesAndEmptyResults) {
  struct Case {
    SmbStatus status;
    NET_API_STATUS code;
  } cases[] = {
      {SmbStatus::kAccessDenied, ERROR_ACCESS_DENIED},
      {SmbStatus::kNotRunning, NERR_ServerNotStarted},
      {SmbStatus::kNoConfig, NERR_ServerNotStarted},
      {SmbStatus::kToolMissing, ERROR_NOT_SUPPORTED},
      {SmbStatus::kToolFailed, NERR_InternalError},
      {SmbStatus::kBadOutput, ERROR_INVALID_DATA},
      {SmbStatus::kTimeout, ERROR_TIMEOUT},
      {SmbStatus::kNotSupported, ERROR_NOT_SUPPORTED},
  };
  SetSessions({Session("PC1", "alice")});
  SetFiles({File(1, "/s/a", "alice")});
  for (const auto& c : cases) {
    fake_->With([&](auto& s) { s.enumSessionsStatus = s.enumFilesStatus = c.status; });
    NetBuffer s, f;
    DWORD read = 7, total = 7;
    EXPECT_EQ(Sessions(s, read, total), c.code) << linuxsys::SmbStatusName(c.status);
    EXPECT_TRUE(s.p == nullptr && read == 0 && total == 0);
    read = total = 7;
    EXPECT_EQ(Files(f, read, total), c.code) << linuxsys::SmbStatusName(c.status);
    EXPECT_TRUE(f.p == nullptr && read == 0 && total == 0);
  }
}

TEST_F(NetApiTest, SessionFiltersAndPaging) {
  SetSessions({Session("PC1", "alice"), Session("PC2", "alice"), Session("PC1", "bob"),
               Session("pc1", "ALICE")});
  NetBuffer b1, b2;
  DWORD read, total;
  ASSERT_EQ(Sessions(b1, read, total, nullptr, u"\\\\PC1", u"alice"), NERR_Success);
  EXPECT_EQ(read, 2u);  // names compare without case, as Windows compares them
  ASSERT_EQ(Sessions(b2, read, total, nullptr, nullptr, u"bob"), NERR_Success);
  EXPECT_EQ(read, 1u);

  // A small preferred length returns what fits and the rest on the next call.
  std::vector<std::u16string> users;
  DWORD resume = 0;
  NET_API_STATUS rc;
  int calls = 0;
  do {
    NetBuffer page;
    rc = Sessions(page, read, total, nullptr, nullptr, nullptr, sizeof(SESSION_INFO_502) + 100,
                  &resume);
    ASSERT_TRUE(rc == NERR_Success || rc == ERROR_MORE_DATA) << rc;
    ASSERT_EQ(read, 1u);
    users.push_back(page.As<SESSION_INFO_502>()->sesi502_username);
    ASSERT_LT(++calls, 10);
  } while (rc == ERROR_MORE_DATA);
  EXPECT_EQ(users, (std::vector<std::u16string>{u"alice", u"alice", u"bob", u"ALICE"}));
  EXPECT_EQ(resume, 0u);
}

TEST_F(NetApiTest, OpenFilesCarryIdPermissionsLocksPathAndUser) {
  SetFiles({File(11, "/srv/share/a.txt", "alice", 0x1, 2), File(12, "/srv/share/b", "bob", 0x7),
            File(13, "/srv/other/c", "alice", 0x00120089), File(14, "/srv/share/d", "ALICE", 0x6),
            File(15, "/srv/share/e", "alice", 0x0)});
  NetBuffer b;
  DWORD read, total;
  ASSERT_EQ(Files(b, read, total), NERR_Success);
  ASSERT_EQ(read, 5u);
  ASSERT_EQ(total, 5u);
  auto* f = b.As<FILE_INFO_3>();
  EXPECT_EQ(f[0].fi3_id, 11u);
  EXPECT_EQ(f[0].fi3_num_locks, 2u);
  EXPECT_EQ(std::u16string(f[0].fi3_pathname), u"/srv/share/a.txt");
  EXPECT_EQ(std::u16string(f[0].fi3_username), u"alice");
  // Read data, write data and append data are the R, W and C bits.
  const DWORD expected[] = {PERM_FILE_READ, PERM_FILE_READ | PERM_FILE_WRITE | PERM_FILE_CREATE,
                            PERM_FILE_READ, PERM_FILE_WRITE | PERM_FILE_CREATE, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f[i].fi3_permissions, expected[i]) << i;

  NetBuffer base, user;
  ASSERT_EQ(Files(base, read, total, u"/srv/share/"), NERR_Success);
  EXPECT_EQ(read, 4u);
  ASSERT_EQ(Files(user, read, total, nullptr, u"alice"), NERR_Success);
  EXPECT_EQ(read, 4u);
}

TEST_F(NetApiTest, FileCloseAndSessionDelActOnTheNamedOnes) {
  SetFiles({File(11, "/s/a", "alice")});
  SetSessions({Session("PC1", "alice"), Session("PC1", "bob"), Session("PC2", "alice")});
  EXPECT_EQ(NetFileClose(nullptr, 12), NERR_FileIdNotFound);
  EXPECT_EQ(NetFileClose(nullptr, 11), NERR_Success);
  EXPECT_EQ(NetFileClose(nullptr, 11), NERR_FileIdNotFound);

  auto del = [](LPCWSTR client, LPCWSTR user) {
    return NetSessionDel(nullptr, const_cast<LPWSTR>(client), const_cast<LPWSTR>(user));
  };
  EXPECT_EQ(del(nullptr, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(del(u"\\\\PC9", u"alice"), NERR_ClientNameNotFound);
  EXPECT_EQ(del(u"\\\\PC1", u"carol"), NERR_UserNotFound);
  EXPECT_EQ(del(u"\\\\PC1", u"alice"), NERR_Success);
  EXPECT_EQ(del(nullptr, u"alice"), NERR_Success);  // every client
  auto state = fake_->Snapshot();
  ASSERT_EQ(state.endedSessions.size(), 2u);
  EXPECT_EQ(state.endedSessions[0].client, "PC1");
  EXPECT_EQ(state.endedSessions[0].user, "alice");
  EXPECT_EQ(state.endedSessions[1].client, "");
  ASSERT_EQ(state.sessions.size(), 1u);
  EXPECT_EQ(state.sessions[0].user, "bob");
  EXPECT_EQ(state.closedFiles, std::vector<std::uint32_t>{11});

  fake_->With([](auto& s) { s.endStatus = SmbStatus::kAccessDenied; });
  EXPECT_EQ(del(u"PC1", u"bob"), ERROR_ACCESS_DENIED);
}

TEST_F(NetApiTest, MessageTextEndsAtItsTerminatorAndTheSenderDefaultsToThisComputer) {
  std::u16string text = u"Back in 5 minutes\u00e9";
  // The caller's length counts the terminator: (characters + 1) * 2.
  DWORD length = static_cast<DWORD>((text.size() + 1) * 2);
  EXPECT_EQ(
      NetMessageBufferSend(nullptr, u"PC1", nullptr, reinterpret_cast<LPBYTE>(text.data()), length),
      NERR_Success);
  EXPECT_EQ(
      NetMessageBufferSend(nullptr, u"PC2", u"ADMIN", reinterpret_cast<LPBYTE>(text.data()), 8),
      NERR_Success);  // four characters, no terminator
  EXPECT_EQ(NetMessageBufferSend(nullptr, u"PC3", u"ADMIN", nullptr, 0), NERR_Success);
  auto sent = fake_->Snapshot().messages;
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].to, "PC1");
  EXPECT_EQ(sent[0].from, "SERVER1");
  EXPECT_EQ(sent[0].text, "Back in 5 minutes\xC3\xA9");
  EXPECT_EQ(sent[1].from, "ADMIN");
  EXPECT_EQ(sent[1].text, "Back");
  EXPECT_EQ(sent[2].text, "");

  EXPECT_EQ(
      NetMessageBufferSend(nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(text.data()), 4),
      ERROR_INVALID_PARAMETER);
  EXPECT_EQ(NetMessageBufferSend(nullptr, u"", nullptr, reinterpret_cast<LPBYTE>(text.data()), 4),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(
      NetMessageBufferSend(nullptr, u"PC1", nullptr, reinterpret_cast<LPBYTE>(text.data()), 5),
      ERROR_INVALID_PARAMETER);  // half a character
  EXPECT_EQ(NetMessageBufferSend(nullptr, u"PC1", nullptr, nullptr, 4), ERROR_INVALID_PARAMETER);
  fake_->With([](auto& s) { s.sendStatus = SmbStatus::kNameNotFound; });
  EXPECT_EQ(
      NetMessageBufferSend(nullptr, u"PC1", nullptr, reinterpret_cast<LPBYTE>(text.data()), 4),
      NERR_NameNotFound);
  EXPECT_EQ(fake_->Snapshot().messages.size(), 3u);
}

}  // namespace
