// The demo's SMB server: a private Samba on loopback with real clients that stay connected (two
// users, one of them with two sessions from the same client and one more over IPv6, files held
// open and locked, a guest). Prints "ready <smb.conf>" on stdout when everything is connected and
// keeps it all until SIGINT, SIGTERM or SIGHUP; then stops the clients and the server and removes
// what it created.
//
//   samba-demo-server [--sessions N] [--print]
//     --sessions N  N further sessions (alternating between the two users)
//     --print       show the sessions and open files as the network API reports them
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "platform/linux/samba_config.h"
#include "platform/win32/netapi.h"
#include "platform/win32/strings.h"
#include "tests/support/private_samba.h"

namespace {

std::string Text(LPCWSTR s) {
  return s ? win32::Utf8FromUtf16(s) : std::string();
}

void PrintWhatTheApiSees() {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  NET_API_STATUS rc = NetSessionEnum(nullptr, nullptr, nullptr, 502, &buffer, MAX_PREFERRED_LENGTH,
                                     &read, &total, &resume);
  std::fprintf(stderr, "NetSessionEnum: %u, %u sessions\n", rc, total);
  auto* s = reinterpret_cast<SESSION_INFO_502*>(buffer);
  for (DWORD i = 0; rc == 0 && i < read; ++i) {
    std::fprintf(stderr, "  %-12s from %-10s opens %u, %us connected, %us idle, flags %u, %s, %s\n",
                 Text(s[i].sesi502_username).c_str(), Text(s[i].sesi502_cname).c_str(),
                 s[i].sesi502_num_opens, s[i].sesi502_time, s[i].sesi502_idle_time,
                 s[i].sesi502_user_flags, Text(s[i].sesi502_cltype_name).c_str(),
                 Text(s[i].sesi502_transport).c_str());
  }
  NetApiBufferFree(buffer);
  buffer = nullptr;
  DWORD_PTR fileResume = 0;
  rc = NetFileEnum(nullptr, nullptr, nullptr, 3, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
                   &fileResume);
  std::fprintf(stderr, "NetFileEnum: %u, %u open files\n", rc, total);
  auto* f = reinterpret_cast<FILE_INFO_3*>(buffer);
  for (DWORD i = 0; rc == 0 && i < read; ++i) {
    std::fprintf(stderr, "  #%u %-12s perms %u, %u locks, %s\n", f[i].fi3_id,
                 Text(f[i].fi3_username).c_str(), f[i].fi3_permissions, f[i].fi3_num_locks,
                 Text(f[i].fi3_pathname).c_str());
  }
  NetApiBufferFree(buffer);
}

}  // namespace

int main(int argc, char** argv) {
  int extra = 0;
  bool print = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--sessions") && i + 1 < argc) {
      extra = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--print")) {
      print = true;
    } else {
      std::fprintf(stderr, "usage: %s [--sessions N] [--print]\n", argv[0]);
      return 2;
    }
  }
  // The signals are taken by sigwait below, so that the destructors do the cleaning up.
  sigset_t stop;
  sigemptyset(&stop);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop, s);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    smbtest::PrivateSamba samba({.userNames = {"demo-alice", "demo-bob"}});
    const auto& alice = samba.Users()[0];
    const auto& bob = samba.Users()[1];

    auto& a1 = samba.Connect(alice);
    a1.Open(samba.CreateFile("report.txt", "Quarterly report\n"));
    auto& a2 = samba.Connect(alice);
    a2.Open(samba.CreateFile("notes.txt", "Notes\n"));
    a2.Open("report.txt");

    auto& b1 = samba.Connect(bob, {.posixLocks = true});
    int budget = b1.Open(samba.CreateFile("budget.ods", std::string(4096, 'x')));
    b1.Lock(budget, true, 0, 100);
    b1.Lock(budget, false, 200, 100);
    auto& b2 = samba.Connect(bob, {.address = "::1"});
    b2.Open(samba.CreateFile("plan.txt", "Plan\n"));
    samba.Connect(alice, {.guest = true});

    for (int i = 0; i < extra; ++i) samba.Connect(i % 2 ? bob : alice);

    std::fprintf(stderr, "demo: Samba %s on 127.0.0.1 and [::1] port %d, smb.conf %s\n",
                 samba.NetbiosName().c_str(), samba.Port(), samba.ConfigPath().c_str());
    if (print) {
      linuxsys::SetSambaConfigPath(samba.ConfigPath());
      PrintWhatTheApiSees();
    }
    std::printf("ready %s\n", samba.ConfigPath().c_str());
    std::fflush(stdout);

    int got = 0;
    sigwait(&stop, &got);
    std::fprintf(stderr, "demo: stopping the clients and the server\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demo: %s\n", e.what());
    return 1;
  }
  return 0;
}
