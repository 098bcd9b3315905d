// The Samba backend against scripted stand-ins for smbstatus, smbcontrol, smbclient and Python:
// how it reads, joins and measures what Samba reports, and that every failure of a tool gives
// the call's error.
#include "platform/linux/samba_backend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "platform/linux/samba_config.h"
#include "platform/linux/samba_process.h"
#include "platform/linux/subprocess.h"

namespace {

namespace fs = std::filesystem;
using namespace linuxsys;
using namespace std::chrono_literals;

std::string Read(const fs::path& p) {
  std::ifstream in(p);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const fs::path& p, const std::string& text) {
  std::ofstream(p) << text;
}

std::string IsoAgo(int seconds) {
  std::time_t t = std::time(nullptr) - seconds;
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000+00:00", std::gmtime(&t));
  return text;
}

struct SessionJson {
  std::string id;
  long pid;
  long uid;
  std::string user;
  std::string machine = "127.0.0.1";
  std::string hostname = "ipv4:127.0.0.1:40000";
  std::string dialect = "SMB3_11";
  std::string degree = "none";
  std::string created = {};  // creation_time of Samba 4.20, empty for 4.17
};

std::string ServerId(long pid, const std::string& unique = "77") {
  return R"("server_id": {"pid": ")" + std::to_string(pid) +
         R"(", "task_id": "0", "vnn": "4294967295", "unique_id": ")" + unique + R"("})";
}

std::string Sessions(const std::vector<SessionJson>& sessions) {
  std::string out = R"("sessions": {)";
  for (std::size_t i = 0; i < sessions.size(); ++i) {
    const auto& s = sessions[i];
    out += (i ? ", " : "") + ("\"" + s.id + "\": {") + R"("session_id": ")" + s.id + "\", " +
           ServerId(s.pid) + ", \"uid\": " + std::to_string(s.uid) + R"(, "username": ")" + s.user +
           R"(", "remote_machine": ")" + s.machine + R"(", "hostname": ")" + s.hostname +
           R"(", "session_dialect": ")" + s.dialect +
           R"(", "encryption": {"cipher": "-", "degree": ")" + s.degree + "\"}" +
           (s.created.empty() ? "" : R"(, "creation_time": ")" + s.created + "\"") + "}";
  }
  return out + "}";
}

std::string Tcon(const std::string& id, const std::string& session, long pid, int agoSeconds) {
  return "\"" + id + R"(": {"service": "share", )" + ServerId(pid) + R"(, "session_id": ")" +
         session + R"(", "connected_at": ")" + IsoAgo(agoSeconds) + "\"}";
}

struct OpenJson {
  std::string path;
  long pid;
  long uid;
  int shareFileId;
  std::string mask = "0x00000003";
  long inode = 100;
  std::string unique = "77";
};

std::string OpenFiles(const std::vector<OpenJson>& opens) {
  // One member per path, as smbstatus writes them.
  std::vector<std::string> paths;
  for (const auto& o : opens)
    if (std::find(paths.begin(), paths.end(), o.path) == paths.end()) paths.push_back(o.path);
  std::string out = R"("open_files": {)";
  for (std::size_t p = 0; p < paths.size(); ++p) {
    std::string body;
    long inode = 0;
    for (const auto& o : opens) {
      if (o.path != paths[p]) continue;
      inode = o.inode;
      body += (body.empty() ? "" : ", ") +
              ("\"" + std::to_string(o.pid) + "/" + std::to_string(o.shareFileId) + "\": {") +
              ServerId(o.pid, o.unique) + ", \"uid\": " + std::to_string(o.uid) +
              R"(, "share_file_id": ")" + std::to_string(o.shareFileId) +
              R"(", "access_mask": {"hex": ")" + o.mask + "\"}}";
    }
    out += (p ? ", " : "") + ("\"" + paths[p] + "\": ") +
           R"({"fileid": {"devid": 65024, "inode": )" + std::to_string(inode) +
           R"(, "extid": 0}, "opens": {)" + body + "}}";
  }
  return out + "}";
}

class SambaBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/samba-backend-test-XXXXXX";
    ASSERT_TRUE(::mkdtemp(pattern));
    dir_ = pattern;
    conf_ = dir_ / "smb.conf";
    Write(conf_, "[global]\n  netbios name = testbox\n  guest account = nobody\n");
    saved_ = SambaConfigPath();
    SetSambaConfigPath(conf_.string());
    tools_.smbstatus = Tool("smbstatus", "cat " + (dir_ / "status.json").string());
    tools_.smbcontrol = Tool("smbcontrol", "echo PONG from pid 1");
    tools_.smbclient = Tool("smbclient", "");
    tools_.python = Tool("python", "");
    tools_.timeout = 2s;
    tools_.settle = 400ms;
    Status(Sessions({}));
  }
  void TearDown() override {
    SetSambaConfigPath(saved_);
    ::unsetenv("SMB_MESSENGER_PORT");
    fs::remove_all(dir_);
  }

  // A stand-in for a tool: records its arguments (one line per call), then runs `body`.
  std::string Tool(const std::string& name, const std::string& body) {
    fs::path p = dir_ / name;
    Write(p, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> " + (dir_ / (name + ".args")).string() + "\n" +
                 body + "\n");
    ::chmod(p.c_str(), 0755);
    return p.string();
  }
  // Like Tool, but the script reads its standard input into NAME.in.
  std::string ToolReadingInput(const std::string& name, const std::string& body) {
    fs::path p = dir_ / name;
    Write(p, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> " + (dir_ / (name + ".args")).string() +
                 "\ncat > " + (dir_ / (name + ".in")).string() + "\n" + body + "\n");
    ::chmod(p.c_str(), 0755);
    return p.string();
  }
  void Status(const std::string& members) { Write(dir_ / "status.json", "{" + members + "}"); }
  std::string Args(const std::string& tool) { return Read(dir_ / (tool + ".args")); }
  std::unique_ptr<SmbServerBackend> Backend() { return MakeSambaServerBackend(tools_); }

  fs::path dir_, conf_;
  std::string saved_;
  SambaTools tools_;
};

TEST_F(SambaBackendTest, EveryToolFailureIsTheCallsError) {
  struct Case {
    const char* what;
    std::string smbstatus;  // script body, or empty for a missing tool
    std::string smbcontrol;
    SmbStatus expected;
  } cases[] = {
      {"smbstatus missing", "", "echo PONG", SmbStatus::kToolMissing},
      {"garbage", "echo 'Segmentation fault'", "echo PONG", SmbStatus::kBadOutput},
      {"truncated", R"(printf '{"sessions": {"1": {"server_id": {"pid": "5")')", "echo PONG",
       SmbStatus::kBadOutput},
      {"not root", "echo '{}'; echo 'smbstatus only works as root!' >&2; exit 1", "echo PONG",
       SmbStatus::kAccessDenied},
      {"failing", "echo 'tdb error' >&2; exit 1", "echo PONG", SmbStatus::kToolFailed},
      {"hanging", "exec sleep 30", "echo PONG", SmbStatus::kTimeout},
      {"no server", R"(echo '{"sessions": {}, "tcons": {}}')",
       "echo \"Can't find pid for destination 'smbd'\" >&2; exit 1", SmbStatus::kNotRunning},
      {"server silent", R"(echo '{"sessions": {}, "tcons": {}}')", "exec sleep 30",
       SmbStatus::kTimeout},
      {"server odd", R"(echo '{"sessions": {}, "tcons": {}}')", "echo hello",
       SmbStatus::kBadOutput},
      {"idle server", R"(echo '{"sessions": {}, "tcons": {}}')", "echo PONG from pid 9",
       SmbStatus::kOk},
  };
  tools_.timeout = 500ms;
  for (const auto& c : cases) {
    tools_.smbstatus =
        c.smbstatus.empty() ? (dir_ / "absent").string() : Tool("smbstatus", c.smbstatus);
    tools_.smbcontrol = Tool("smbcontrol", c.smbcontrol);
    auto backend = Backend();
    std::vector<SmbSession> sessions(1);
    std::vector<SmbOpenFile> files(1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(backend->EnumSessions(sessions), c.expected) << c.what;
    EXPECT_EQ(backend->EnumOpenFiles(files), c.expected) << c.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << c.what;
    EXPECT_TRUE(sessions.empty() && files.empty()) << c.what;
  }
}

TEST_F(SambaBackendTest, UnreadableConfigurationFailsWithoutRunningATool) {
  SetSambaConfigPath((dir_ / "missing.conf").string());
  std::vector<SmbSession> sessions;
  EXPECT_EQ(Backend()->EnumSessions(sessions), SmbStatus::kNoConfig);
  EXPECT_EQ(Args("smbstatus"), "");
}

TEST_F(SambaBackendTest, AskesSmbstatusForThisConfigurationAsJson) {
  std::vector<SmbSession> sessions;
  ASSERT_EQ(Backend()->EnumSessions(sessions), SmbStatus::kOk);
  EXPECT_EQ(Args("smbstatus"), "--configfile=" + conf_.string() + " --json --byterange\n");
  EXPECT_EQ(Args("smbcontrol"), "--configfile=" + conf_.string() + " --timeout=2 smbd ping\n");
}

TEST_F(SambaBackendTest, SessionsCarryTheirRealState) {
  const long self = ::getpid(), parent = ::getppid();
  const long gone = 4194303;  // above any pid this test meets: nothing to read in /proc
  Status(Sessions({
             {"1", self, 1001, "alice"},
             {"2", self, 1001, "alice", "127.0.0.1", "ipv4:127.0.0.1:40002"},
             {"3", gone, 65534, "nobody", "10.0.0.7", "ipv4:10.0.0.7:5000", "SMB2_10", "partial"},
             {"4", gone, 1002, "bob", "::1", "ipv6:::1:5001", "SMB3_11", "full", IsoAgo(30)},
             {"5", gone, 1003, "", "host", "ipv4:10.0.0.8:5002", "NT1"},
             {"6", parent, 1004, "NOBODY"},
         }) +
         ", \"tcons\": {" + Tcon("10", "1", self, 100) + ", " + Tcon("11", "2", self, 50) + ", " +
         Tcon("12", "2", self, 70) + "}, " +
         OpenFiles({{"/s/a", self, 1001, 1},
                    {"/s/b", self, 1001, 2},
                    {"/s/c", self, 1001, 3},
                    {"/s/d", gone, 65534, 1},
                    {"/s/e", self, 4242, 4}}));
  std::vector<SmbSession> s;
  ASSERT_EQ(Backend()->EnumSessions(s), SmbStatus::kOk);
  ASSERT_EQ(s.size(), 6u);

  EXPECT_EQ(s[0].computer, "127.0.0.1");
  EXPECT_EQ(s[0].user, "alice");
  EXPECT_EQ(s[0].clientType, "SMB3_11");
  EXPECT_EQ(s[0].transport, "TCP");  // no such connection in this process
  // Opens are keyed by process and uid: all three go to the first session of that pair.
  EXPECT_EQ(s[0].opens, 3u);
  EXPECT_EQ(s[1].opens, 0u);
  EXPECT_EQ(s[2].opens, 1u);
  // Two sessions in one process: each from its own first tree connect.
  EXPECT_NEAR(s[0].secondsConnected, 100, 3);
  EXPECT_NEAR(s[1].secondsConnected, 70, 3);
  // Nothing known about it: 0, not a guess.
  EXPECT_EQ(s[2].secondsConnected, 0u);
  EXPECT_EQ(s[2].secondsIdle, 0u);
  // Samba 4.20's own session start.
  EXPECT_NEAR(s[3].secondsConnected, 30, 3);
  // Alone in its process: the process's start.
  auto parentStart = ProcessStartTime(static_cast<pid_t>(parent));
  ASSERT_TRUE(parentStart);
  EXPECT_NEAR(s[5].secondsConnected, std::time(nullptr) - *parentStart, 3);

  EXPECT_FALSE(s[0].guest);
  EXPECT_TRUE(s[2].guest);  // the guest account
  EXPECT_TRUE(s[4].guest);  // anonymous
  EXPECT_TRUE(s[5].guest);  // account names compare as Samba does, without case
  EXPECT_TRUE(s[0].noEncryption);
  EXPECT_FALSE(s[2].noEncryption);
  EXPECT_FALSE(s[3].noEncryption);
  EXPECT_EQ(s[3].computer, "::1");
  EXPECT_EQ(s[4].user, "");
}

TEST_F(SambaBackendTest, IdleTimeIsTheTimeSinceTheServingProcessLastDidIo) {
  auto server = ChildProcess::Start({"/bin/cat"}, {});
  ASSERT_TRUE(server);
  Status(Sessions({{"1", server->Pid(), 1001, "alice"}}));
  auto backend = Backend();
  std::vector<SmbSession> s;
  ASSERT_EQ(backend->EnumSessions(s), SmbStatus::kOk);
  EXPECT_EQ(s.at(0).secondsIdle, 0u);  // first seen
  std::this_thread::sleep_for(1200ms);
  ASSERT_EQ(backend->EnumSessions(s), SmbStatus::kOk);
  EXPECT_GE(s.at(0).secondsIdle, 1u);
  ASSERT_TRUE(server->Write("ping\n"));
  ASSERT_NE(server->WaitForOutput("ping\n", 0, 5s), std::string::npos);
  ASSERT_EQ(backend->EnumSessions(s), SmbStatus::kOk);
  EXPECT_EQ(s.at(0).secondsIdle, 0u);
}

TEST_F(SambaBackendTest, OpenFilesKeepTheirIdsAndGetTheirUsersAndLocks) {
  const long self = ::getpid();
  const std::string locks =
      R"("byte_range_locks": {"/s/a": {"fileid": {"devid": 65024, "inode": 100, "extid": 0},
         "locks": [{)" +
      ServerId(self) + "}, {" + ServerId(self) + "}]}}";
  Status(Sessions({{"1", self, 1001, "alice"}}) + ", " +
         OpenFiles({{"/s/a", self, 1001, 1, "0x00000001"},
                    {"/s/a", self, 1001, 2, "0x00000007"},
                    {"/s/b", self, 0, 3, "0x00000002", 101},
                    {"/s/c", self, 3999999, 4, "0x00120089", 102}}) +
         ", " + locks);
  auto backend = Backend();
  std::vector<SmbOpenFile> f;
  ASSERT_EQ(backend->EnumOpenFiles(f), SmbStatus::kOk);
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0].path, "/s/a");
  EXPECT_EQ(f[0].user, "alice");    // the session's name for that process and uid
  EXPECT_EQ(f[2].user, "root");     // no session: the account of the uid
  EXPECT_EQ(f[3].user, "3999999");  // no account either
  EXPECT_EQ(f[0].accessMask, 1u);
  EXPECT_EQ(f[1].accessMask, 7u);
  // Samba's lock records name the process, not the open: they go to its first open of the file.
  EXPECT_EQ(f[0].locks, 2u);
  EXPECT_EQ(f[1].locks, 0u);
  std::vector<std::uint32_t> ids;
  for (const auto& x : f) ids.push_back(x.id);
  EXPECT_EQ(std::set<std::uint32_t>(ids.begin(), ids.end()).size(), 4u);

  // The same opens keep their ids; a closed one's id is not given to a new open.
  Status(Sessions({{"1", self, 1001, "alice"}}) + ", " +
         OpenFiles({{"/s/z", self, 1001, 9},
                    {"/s/a", self, 1001, 2, "0x00000007"},
                    {"/s/c", self, 3999999, 4, "0x00120089", 102}}));
  ASSERT_EQ(backend->EnumOpenFiles(f), SmbStatus::kOk);
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[1].id, ids[1]);
  EXPECT_EQ(f[2].id, ids[3]);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), f[0].id), 0);
  // An open of another process with the same share file id is another open.
  Status(Sessions({{"1", self, 1001, "alice"}}) + ", " +
         OpenFiles({{"/s/a", self, 1001, 2, "0x00000007", 100, "78"}}));
  ASSERT_EQ(backend->EnumOpenFiles(f), SmbStatus::kOk);
  EXPECT_NE(f.at(0).id, ids[1]);
}

TEST_F(SambaBackendTest, CloseFileAsksTheServingSmbdAndWaitsUntilTheOpenIsGone) {
  const long self = ::getpid();
  const std::string before = Sessions({{"1", self, 1001, "alice"}}) + ", " +
                             OpenFiles({{"/s/a", self, 1001, 7, "0x3", 555}});
  Status(before);
  Write(dir_ / "after.json", "{" + Sessions({{"1", self, 1001, "alice"}}) + "}");
  tools_.python = Tool(
      "python", "cp " + (dir_ / "after.json").string() + " " + (dir_ / "status.json").string());
  auto backend = Backend();
  EXPECT_EQ(backend->CloseFile(1), SmbStatus::kFileNotFound);  // never enumerated
  EXPECT_EQ(Args("python"), "");
  std::vector<SmbOpenFile> f;
  ASSERT_EQ(backend->EnumOpenFiles(f), SmbStatus::kOk);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(backend->CloseFile(f[0].id), SmbStatus::kOk);
  // Samba's Python messaging, with the open's server id, file id, share file id and uid.
  std::string args = Args("python");
  EXPECT_EQ(args.substr(0, 6), "-I -c ");
  EXPECT_NE(args.find("MSG_SMB_CLOSE_FILE"), std::string::npos);
  EXPECT_NE(args.find(" " + conf_.string() + " " + std::to_string(self) +
                      " 0 4294967295 77 65024 555 0 7 1001\n"),
            std::string::npos)
      << args;
  EXPECT_EQ(backend->CloseFile(f[0].id), SmbStatus::kFileNotFound);  // it is gone
}

TEST_F(SambaBackendTest, CloseFileNeverReportsAnOpenThatStaysAsClosed) {
  const long self = ::getpid();
  Status(Sessions({{"1", self, 1001, "alice"}}) + ", " + OpenFiles({{"/s/a", self, 1001, 7}}));
  struct Case {
    const char* what;
    std::string python;
    SmbStatus expected;
  } cases[] = {
      {"request without effect", "exit 0", SmbStatus::kToolFailed},
      {"no Samba bindings", "echo \"ModuleNotFoundError: No module named 'samba'\" >&2; exit 1",
       SmbStatus::kToolMissing},
      {"messaging refused", "echo 'PermissionError' >&2; exit 1", SmbStatus::kToolFailed},
      {"hanging", "exec sleep 30", SmbStatus::kTimeout},
  };
  tools_.timeout = 500ms;
  for (const auto& c : cases) {
    tools_.python = Tool("python", c.python);
    auto backend = Backend();
    std::vector<SmbOpenFile> f;
    ASSERT_EQ(backend->EnumOpenFiles(f), SmbStatus::kOk);
    EXPECT_EQ(backend->CloseFile(f.at(0).id), c.expected) << c.what;
  }
  // And a file that went away before the close.
  auto backend = Backend();
  std::vector<SmbOpenFile> f;
  ASSERT_EQ(backend->EnumOpenFiles(f), SmbStatus::kOk);
  Status(Sessions({{"1", self, 1001, "alice"}}));
  EXPECT_EQ(backend->CloseFile(f.at(0).id), SmbStatus::kFileNotFound);
}

TEST_F(SambaBackendTest, EndSessionStopsTheServingProcessesOfTheMatchingSessions) {
  const std::string sessions = Sessions({{"1", 501, 1001, "alice", "PC1"},
                                         {"2", 501, 1001, "alice", "PC1"},
                                         {"3", 502, 1001, "alice", "PC1"},
                                         {"4", 503, 1002, "bob", "PC1"},
                                         {"5", 504, 1001, "alice", "PC2"}});
  Status(sessions);
  Write(dir_ / "after.json",
        "{" + Sessions({{"4", 503, 1002, "bob", "PC1"}, {"5", 504, 1001, "alice", "PC2"}}) + "}");
  tools_.smbcontrol = Tool(
      "smbcontrol", "cp " + (dir_ / "after.json").string() + " " + (dir_ / "status.json").string());
  auto backend = Backend();
  EXPECT_EQ(backend->EndSession("PC9", "alice"), SmbStatus::kClientNotFound);
  EXPECT_EQ(backend->EndSession("PC1", "carol"), SmbStatus::kUserNotFound);
  EXPECT_EQ(Args("smbcontrol"), "");
  EXPECT_EQ(backend->EndSession("pc1", "ALICE"), SmbStatus::kOk);  // names without case
  EXPECT_EQ(Args("smbcontrol"), "--configfile=" + conf_.string() + " 501 shutdown\n" +
                                    "--configfile=" + conf_.string() + " 502 shutdown\n");

  // The sessions stay: the call fails instead of claiming they ended.
  Status(sessions);
  tools_.smbcontrol = Tool("smbcontrol", "exit 0");
  EXPECT_EQ(Backend()->EndSession("PC2", ""), SmbStatus::kToolFailed);
  tools_.smbcontrol =
      Tool("smbcontrol", "echo 'Could not init messaging context, not root?' >&2; exit 1");
  EXPECT_EQ(Backend()->EndSession("", "bob"), SmbStatus::kAccessDenied);
}

TEST_F(SambaBackendTest, MessagesGoToTheClientsAddressWithSmbclient) {
  Status(Sessions({{"1", 501, 1001, "alice", "PC1", "ipv4:127.0.0.5:40000"},
                   {"2", 502, 1001, "alice", "-M evil", "ipv6:::1:40001"}}));
  tools_.smbclient =
      ToolReadingInput("smbclient", "echo 'Type your message, ending it with a Control-D'");
  auto backend = Backend();
  ::setenv("SMB_MESSENGER_PORT", "4139", 1);
  EXPECT_EQ(backend->SendMessage("pc1", "SERVER", "Hello\nthere"), SmbStatus::kOk);
  EXPECT_EQ(Read(dir_ / "smbclient.in"), "Hello\nthere");
  const std::string common = "--configfile=" + conf_.string() + " --option=disable netbios=no ";
  EXPECT_EQ(Args("smbclient"), common +
                                   "--message=pc1 --ip-address=127.0.0.5 --port=4139 --no-pass "
                                   "--user=SERVER\n");
  fs::remove(dir_ / "smbclient.args");
  ::unsetenv("SMB_MESSENGER_PORT");
  // Names are handed over as one argument each, never as options of their own.
  EXPECT_EQ(backend->SendMessage("-M evil", "", "x"), SmbStatus::kOk);
  // This computer's own NetBIOS name, then the resolver.
  EXPECT_EQ(backend->SendMessage("TESTBOX", "a", "x"), SmbStatus::kOk);
  EXPECT_EQ(backend->SendMessage("localhost", "a", "x"), SmbStatus::kOk);
  std::string args = Args("smbclient");
  EXPECT_NE(args.find("--message=-M evil --ip-address=::1 --port=139 --no-pass\n"),
            std::string::npos)
      << args;
  EXPECT_NE(args.find("--message=TESTBOX --ip-address=127.0.0.1 "), std::string::npos) << args;
  EXPECT_TRUE(args.find("--message=localhost --ip-address=127.0.0.1 ") != std::string::npos ||
              args.find("--message=localhost --ip-address=::1 ") != std::string::npos)
      << args;
}

TEST_F(SambaBackendTest, MessageFailuresAreNotReportedAsSent) {
  Status(Sessions({{"1", 501, 1001, "alice", "PC1", "ipv4:127.0.0.5:40000"}}));
  struct Case {
    const char* what;
    std::string smbclient;
    SmbStatus expected;
  } cases[] = {
      // smbclient -M ends with 0 when the server drops the message.
      {"dropped", "echo 'cli_message returned NT_STATUS_CONNECTION_DISCONNECTED'",
       SmbStatus::kToolFailed},
      {"refused", "echo 'Connection to PC1 failed. Error NT_STATUS_CONNECTION_REFUSED'; exit 1",
       SmbStatus::kNameNotFound},
      {"failing", "exit 1", SmbStatus::kToolFailed},
      {"hanging", "exec sleep 30", SmbStatus::kTimeout},
  };
  tools_.timeout = 500ms;
  for (const auto& c : cases) {
    tools_.smbclient = Tool("smbclient", c.smbclient);
    EXPECT_EQ(Backend()->SendMessage("PC1", "me", "hi"), c.expected) << c.what;
  }
  tools_.smbclient = (dir_ / "absent").string();
  EXPECT_EQ(Backend()->SendMessage("PC1", "me", "hi"), SmbStatus::kToolMissing);
  EXPECT_EQ(Backend()->SendMessage("", "me", "hi"), SmbStatus::kInvalidParameter);
  EXPECT_EQ(Backend()->SendMessage("PC1", "me%secret", "hi"), SmbStatus::kInvalidParameter);
}

TEST(MessengerPort, ComesFromTheEnvironmentWhenValid) {
  struct Case {
    const char* value;
    int port;
  } cases[] = {{nullptr, 139}, {"", 139},     {"4139", 4139},  {"0", 139},
               {"65536", 139}, {"12ab", 139}, {"65535", 65535}};
  for (const auto& c : cases) {
    if (c.value) {
      ::setenv("SMB_MESSENGER_PORT", c.value, 1);
    } else {
      ::unsetenv("SMB_MESSENGER_PORT");
    }
    EXPECT_EQ(MessengerPort(), c.port) << (c.value ? c.value : "unset");
  }
  ::unsetenv("SMB_MESSENGER_PORT");
}

}  // namespace
