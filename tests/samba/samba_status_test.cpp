#include "platform/linux/samba_status.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/linux/samba_process.h"

namespace {

using namespace linuxsys;

std::string Sample() {
  std::ifstream in(SAMBA_TEST_DATA "/smbstatus-4.17.json");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// What smbstatus 4.17 printed for the demo server: five sessions (one over IPv6, one SMB1, one
// guest), their tree connects, five opens (two of one file) and two locks.
TEST(ParseSambaStatusJson, ReadsRealSmbstatusOutput) {
  SambaStatus s;
  std::string why;
  ASSERT_TRUE(ParseSambaStatusJson(Sample(), s, &why)) << why;
  EXPECT_EQ(s.version, "4.17.12-Debian");
  ASSERT_EQ(s.sessions.size(), 5u);
  const auto& bob6 = s.sessions[0];  // Samba's order is kept
  EXPECT_EQ(bob6.sessionId, "4164062943");
  EXPECT_EQ(bob6.server.pid, 19623u);
  EXPECT_EQ(bob6.server.uniqueId, 13093905076735154614u);
  EXPECT_EQ(bob6.server.vnn, 4294967295u);
  EXPECT_EQ(bob6.uid, 1002);
  EXPECT_EQ(bob6.username, "demo-bob");
  EXPECT_EQ(bob6.remoteMachine, "::1");
  EXPECT_EQ(bob6.hostname, "ipv6:::1:51772");
  EXPECT_EQ(bob6.dialect, "SMB3_11");
  EXPECT_EQ(bob6.encryptionDegree, "none");
  EXPECT_FALSE(bob6.creationTime);  // 4.17 has none
  EXPECT_EQ(s.sessions[2].dialect, "NT1");
  EXPECT_EQ(s.sessions[3].username, "nobody");

  ASSERT_EQ(s.tcons.size(), 5u);
  EXPECT_EQ(s.tcons[0].sessionId, "249727135");
  EXPECT_EQ(s.tcons[0].service, "share");
  EXPECT_EQ(s.tcons[0].connectedAt, ParseIsoTime("2026-12-11T12:17:58+00:00"));

  ASSERT_EQ(s.opens.size(), 5u);
  const auto& budget = s.opens[0];
  EXPECT_EQ(budget.path, "/tmp/smbtest-19590x1-CddEyk/share/budget.ods");
  EXPECT_EQ(budget.fileId, (SambaFileId{65024, 10953859, 0}));
  EXPECT_EQ(budget.server.pid, 19621u);
  EXPECT_EQ(budget.uid, 1002);
  EXPECT_EQ(budget.shareFileId, 3u);
  EXPECT_EQ(budget.accessMask, 3u);
  int reportOpens = 0;
  for (const auto& o : s.opens) reportOpens += o.path.ends_with("/report.txt");
  EXPECT_EQ(reportOpens, 2);

  ASSERT_EQ(s.locks.size(), 2u);
  for (const auto& l : s.locks) {
    EXPECT_EQ(l.fileId, budget.fileId);
    EXPECT_EQ(l.server.pid, 19621u);
  }
}

TEST(ParseSambaStatusJson, ServerThatNeverHadAClientHasNoFileMembers) {
  // smbstatus leaves open_files out while locking.tdb does not exist yet.
  SambaStatus s;
  ASSERT_TRUE(ParseSambaStatusJson(
      R"({"timestamp": "x", "version": "4.17.12-Debian", "sessions": {}, "tcons": {}})", s));
  EXPECT_TRUE(s.sessions.empty());
  EXPECT_TRUE(s.opens.empty());
  EXPECT_TRUE(s.locks.empty());
}

TEST(ParseSambaStatusJson, UsesTheSessionCreationTimeOfNewerSamba) {
  SambaStatus s;
  ASSERT_TRUE(ParseSambaStatusJson(R"({"sessions": {"7": {
      "server_id": {"pid": 42, "unique_id": "9"}, "username": "u", "remote_machine": "m",
      "hostname": "ipv4:10.0.0.1:1", "session_dialect": "SMB3_11",
      "creation_time": "2024-03-01T10:00:00.123456+01:00",
      "encryption": {"cipher": "AES-128-GCM", "degree": "full"}}}})",
                                   s));
  ASSERT_EQ(s.sessions.size(), 1u);
  EXPECT_EQ(s.sessions[0].creationTime, ParseIsoTime("2024-03-01T09:00:00Z"));
  EXPECT_EQ(s.sessions[0].encryptionDegree, "full");
  EXPECT_FALSE(s.sessions[0].uid);
  EXPECT_EQ(s.sessions[0].server.pid, 42u);  // numbers as well as strings
}

TEST(ParseSambaStatusJson, RejectsWhatIsNotItsOutput) {
  const std::string sample = Sample();
  const std::string session = R"("server_id": {"pid": "5", "unique_id": "1"}, "username": "u",
      "remote_machine": "m", "hostname": "h", "session_dialect": "d")";
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"garbage", "Segmentation fault\n"},
      {"truncated", sample.substr(0, sample.size() / 2)},
      {"cut before the last brace", sample.substr(0, sample.rfind('}'))},
      {"an array", "[]"},
      {"no sessions member", R"({"version": "4.17"})"},
      {"sessions not an object", R"({"sessions": []})"},
      {"session not an object", R"({"sessions": {"1": 3}})"},
      {"username missing", R"({"sessions": {"1": {"server_id": {"pid": "5", "unique_id": "1"},
          "remote_machine": "m", "hostname": "h", "session_dialect": "d"}}})"},
      {"username a number", R"({"sessions": {"1": {)" + session + R"(, "username": 5}}})"},
      {"pid not a number", R"({"sessions": {"1": {"server_id": {"pid": "x5", "unique_id": "1"},
          "username": "u", "remote_machine": "m", "hostname": "h", "session_dialect": "d"}}})"},
      {"pid negative", R"({"sessions": {"1": {"server_id": {"pid": -5, "unique_id": "1"},
          "username": "u", "remote_machine": "m", "hostname": "h", "session_dialect": "d"}}})"},
      {"pid too large", R"({"sessions": {"1": {"server_id": {"pid": "99999999999", "unique_id":
          "1"}, "username": "u", "remote_machine": "m", "hostname": "h", "session_dialect":
          "d"}}})"},
      {"open without uid", R"({"sessions": {}, "open_files": {"/f": {"fileid": {"devid": 1,
          "inode": 2, "extid": 0}, "opens": {"5/1": {"server_id": {"pid": "5", "unique_id": "1"},
          "share_file_id": "1", "access_mask": {"hex": "0x1"}}}}}})"},
      {"access mask not hex", R"({"sessions": {}, "open_files": {"/f": {"fileid": {"devid": 1,
          "inode": 2, "extid": 0}, "opens": {"5/1": {"server_id": {"pid": "5", "unique_id": "1"},
          "uid": 1, "share_file_id": "1", "access_mask": {"hex": "0xZZ"}}}}}})"},
      {"locks not an array", R"({"sessions": {}, "byte_range_locks": {"/f": {"fileid":
          {"devid": 1, "inode": 2, "extid": 0}, "locks": {}}}})"},
  };
  for (const auto& c : cases) {
    SambaStatus s;
    s.version = "left over";
    EXPECT_FALSE(ParseSambaStatusJson(c.text, s)) << c.what;
    EXPECT_TRUE(s.sessions.empty() && s.version.empty()) << c.what << ": nothing half-read kept";
  }
}

TEST(ParseIsoTime, ReadsSambasFormsAndRefusesOthers) {
  EXPECT_EQ(ParseIsoTime("1970-01-01T00:00:00Z"), 0);
  EXPECT_EQ(ParseIsoTime("2026-12-11T12:17:58.814438+00:00"), 1796991478);
  EXPECT_EQ(ParseIsoTime("2026-12-11T12:17:58.814438+0000"), 1796991478);
  EXPECT_EQ(ParseIsoTime("2026-12-11T17:47:58+05:30"), 1796991478);
  EXPECT_EQ(ParseIsoTime("2026-12-11T07:17:58-05:00"), 1796991478);
  for (const char* bad :
       {"", "2026-12-11", "2026-12-11T12:17:58", "2026-13-11T12:17:58Z", "2026-12-11T25:17:58Z",
        "2026-12-11T12:17:58.Z", "2026-12-11T12:17:58Z trailing", "20x6-12-11T12:17:58Z"})
    EXPECT_FALSE(ParseIsoTime(bad)) << bad;
}

TEST(ParseIoCounters, ReadsTheFourCountersOrNothing) {
  auto c = ParseIoCounters(
      "rchar: 9328\nwchar: 716\nsyscr: 28\nsyscw: 2\nread_bytes: 12288\nwrite_bytes: 0\n");
  ASSERT_TRUE(c);
  EXPECT_EQ(*c, (IoCounters{9328, 716, 28, 2}));
  EXPECT_FALSE(ParseIoCounters("rchar: 9328\nwchar: 716\nsyscr: 28\n"));
  EXPECT_FALSE(ParseIoCounters("rchar: x\nwchar: 716\nsyscr: 28\nsyscw: 2\n"));
}

TEST(ParseClientEndpoint, ReadsSambasEndpointForms) {
  auto v4 = ParseClientEndpoint("ipv4:127.0.0.1:45758");
  ASSERT_TRUE(v4);
  EXPECT_EQ(v4->family, AF_INET);
  EXPECT_EQ(v4->port, 45758);
  EXPECT_EQ(v4->address[0], 127);
  EXPECT_EQ(v4->address[3], 1);
  auto v6 = ParseClientEndpoint("ipv6:::1:51772");
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->family, AF_INET6);
  EXPECT_EQ(v6->port, 51772);
  EXPECT_EQ(v6->address[15], 1);
  EXPECT_TRUE(ParseClientEndpoint("ipv6:[fe80::1]:445"));
  for (const char* bad : {"", "127.0.0.1:445", "ipv4:127.0.0.1", "ipv4:300.0.0.1:1",
                          "ipv4:127.0.0.1:70000", "ipx:1:2"})
    EXPECT_FALSE(ParseClientEndpoint(bad)) << bad;
}

TEST(FindServerEndpoint, PicksTheServersSideOfTheClientsConnection) {
  const char* header =
      "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
      "inode\n";
  // The listening socket, the client's own socket (local = the client's endpoint) and the
  // server's connection to it (remote = the client's endpoint).
  std::string v4 = std::string(header) +
                   "   0: 0100007F:ADD5 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 "
                   "0 100 1 0000000000000000 100 0 0 10 0\n"
                   "   1: 0100007F:B2BE 0100007F:ADD5 01 00000000:00000000 00:00000000 00000000 0 "
                   "0 200 1 0000000000000000 20 4 30 10 -1\n"
                   "   2: 0100007F:ADD5 0100007F:B2BE 01 00000000:00000000 00:00000000 00000000 0 "
                   "0 300 1 0000000000000000 20 4 30 10 -1\n";
  auto client = *ParseClientEndpoint("ipv4:127.0.0.1:45758");
  EXPECT_EQ(FindServerEndpoint(v4, false, client, {100, 300}), "127.0.0.1:44501");
  EXPECT_FALSE(FindServerEndpoint(v4, false, client, {100, 200}));  // not this process's socket
  EXPECT_FALSE(FindServerEndpoint("", false, client, {300}));
  EXPECT_FALSE(FindServerEndpoint(std::string(header) + "   2: garbage\n", false, client, {300}));

  std::string v6 = std::string(header) +
                   "   0: 00000000000000000000000001000000:ADD5 "
                   "00000000000000000000000001000000:CA3C 01 00000000:00000000 00:00000000 "
                   "00000000 0 0 400 1 0000000000000000 20 4 30 10 -1\n"
                   "   1: 0000000000000000FFFF00000100007F:ADD5 "
                   "0000000000000000FFFF00000100007F:B2BE 01 00000000:00000000 00:00000000 "
                   "00000000 0 0 500 1 0000000000000000 20 4 30 10 -1\n";
  EXPECT_EQ(FindServerEndpoint(v6, true, *ParseClientEndpoint("ipv6:::1:51772"), {400}),
            "[::1]:44501");
  // An IPv4 client on a dual-stack socket shows as a mapped address.
  EXPECT_EQ(FindServerEndpoint(v6, true, client, {500}), "127.0.0.1:44501");
}

}  // namespace
