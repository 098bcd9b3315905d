// The session tree's refresh over the fake server: it should grow linearly with the sessions.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "tests/common/fake_server.h"
#include "ui/frmMainUnit.h"

namespace {

std::vector<linuxsys::SmbSession> Sessions(int count, int keys) {
  std::vector<linuxsys::SmbSession> out;
  out.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const int k = i % keys;
    out.push_back(testsupport::Session("user" + std::to_string(k % 700),
                                       "PC" + std::to_string(k / 700), 1,
                                       static_cast<std::uint32_t>(i), 5));
  }
  return out;
}

void RefreshSessions(benchmark::State& state) {
  testsupport::FakeServer server;
  server.SetSessions(Sessions(static_cast<int>(state.range(0)), 2000));
  TfrmMain* form = CreateFormInstance<TfrmMain>(nullptr);
  for (auto _ : state) form->RefreshSessions();
  state.counters["nodes"] = form->tvUsers->Items()->Count();
  state.SetComplexityN(state.range(0));
  Free(form);
}
BENCHMARK(RefreshSessions)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
