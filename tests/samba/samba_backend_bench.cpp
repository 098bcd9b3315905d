// What one enumeration costs: against a private Samba with 20 real sessions (and the Samba tool
// calls it is made of), and the record building over the fake server with many sessions.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <exception>
#include <memory>

#include "platform/linux/samba_backend.h"
#include "platform/linux/samba_config.h"
#include "platform/linux/samba_fake_backend.h"
#include "platform/linux/subprocess.h"
#include "platform/win32/netapi.h"
#include "tests/support/private_samba.h"

namespace {

smbtest::PrivateSamba* g_samba = nullptr;

DWORD EnumSessionsOnce() {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  if (NetSessionEnum(nullptr, nullptr, nullptr, 502, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
                     &resume) != 0)
    return 0;
  NetApiBufferFree(buffer);
  return total;
}

void UseSamba() {
  linuxsys::SetSambaConfigPath(g_samba->ConfigPath());
  linuxsys::SetSmbServerBackendForTesting(nullptr);
}

void BM_EnumSessions_RealSamba20(benchmark::State& state) {
  UseSamba();
  DWORD total = 0;
  for (auto _ : state) total = EnumSessionsOnce();
  state.counters["sessions"] = total;
  if (total != 20) state.SkipWithError("expected 20 sessions");
}
BENCHMARK(BM_EnumSessions_RealSamba20)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The first enumeration of a program that just started: no process I/O history yet.
void BM_FirstEnumSessions_RealSamba20(benchmark::State& state) {
  DWORD total = 0;
  for (auto _ : state) {
    UseSamba();
    total = EnumSessionsOnce();
  }
  state.counters["sessions"] = total;
}
BENCHMARK(BM_FirstEnumSessions_RealSamba20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

void BM_EnumOpenFiles_RealSamba20(benchmark::State& state) {
  UseSamba();
  for (auto _ : state) {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    DWORD_PTR resume = 0;
    NetFileEnum(nullptr, nullptr, nullptr, 3, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
                &resume);
    NetApiBufferFree(buffer);
    state.counters["files"] = total;
  }
}
BENCHMARK(BM_EnumOpenFiles_RealSamba20)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The Samba tool call an enumeration is made of.
void BM_SmbstatusJson_RealSamba20(benchmark::State& state) {
  for (auto _ : state) {
    auto r = linuxsys::RunProcess(
        {"smbstatus", "--configfile=" + g_samba->ConfigPath(), "--json", "--byterange"});
    benchmark::DoNotOptimize(r.out.size());
  }
}
BENCHMARK(BM_SmbstatusJson_RealSamba20)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The ping that tells an idle server from a stopped one (made only when there are no sessions).
void BM_SmbcontrolPing(benchmark::State& state) {
  for (auto _ : state) {
    auto r = linuxsys::RunProcess(
        {"smbcontrol", "--configfile=" + g_samba->ConfigPath(), "--timeout=2", "smbd", "ping"});
    benchmark::DoNotOptimize(r.out.size());
  }
}
BENCHMARK(BM_SmbcontrolPing)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// NetSessionEnum's own work (records and strings in one block) over the fake server.
void BM_NetSessionEnum_Fake(benchmark::State& state) {
  auto fake = std::make_unique<linuxsys::FakeSmbServerBackend>();
  fake->With([&](auto& s) {
    for (int i = 0; i < state.range(0); ++i) {
      linuxsys::SmbSession e;
      e.computer = "PC" + std::to_string(i % 2000);
      e.user = "user" + std::to_string(i % 700);
      e.clientType = "SMB3_11";
      e.transport = "TCP 192.0.2.1:445";
      s.sessions.push_back(e);
    }
  });
  linuxsys::SetSmbServerBackendForTesting(std::move(fake));
  for (auto _ : state) benchmark::DoNotOptimize(EnumSessionsOnce());
  state.SetItemsProcessed(state.iterations() * state.range(0));
  linuxsys::SetSmbServerBackendForTesting(nullptr);
}
BENCHMARK(BM_NetSessionEnum_Fake)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  try {
    smbtest::PrivateSamba samba;
    for (int i = 0; i < 20; ++i) {
      auto& client = samba.Connect(samba.Users()[i % 2]);
      client.Open(samba.CreateFile("file" + std::to_string(i) + ".txt"));
    }
    g_samba = &samba;
    benchmark::RunSpecifiedBenchmarks();
    g_samba = nullptr;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
