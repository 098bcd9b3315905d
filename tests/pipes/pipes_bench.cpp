// How long one "no wait" CallNamedPipeW of a 2048-byte message holds its caller, against each
// kind of server: none, a listener-like echo server, a silent one, and one busy with another
// client for longer than the caller may wait.
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <chrono>
#include <vector>

#include "platform/linux/unix_socket.h"
#include "tests/pipes/pipe_test_support.h"

namespace {

constexpr const char16_t* kName = u"\\\\.\\pipe\\bench@Pipes";

void TimeCalls(benchmark::State& state) {
  std::vector<unsigned char> buffer(2048, 0x41);
  for (auto _ : state) {
    DWORD read = 0;
    auto start = std::chrono::steady_clock::now();
    BOOL ok =
        CallNamedPipeW(kName, buffer.data(), 2048, buffer.data(), 2048, &read, NMPWAIT_NOWAIT);
    auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ok);
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
}

void BM_NoServer(benchmark::State& state) {
  pipetest::TempPipeFolder folder;
  TimeCalls(state);
}

void BM_EchoServer(benchmark::State& state) {
  pipetest::TempPipeFolder folder;
  pipetest::EchoServer server(kName);
  TimeCalls(state);
}

void BM_SilentServer(benchmark::State& state) {
  pipetest::TempPipeFolder folder;
  pipetest::EchoServer server(kName, true);
  TimeCalls(state);
}

void BM_BusyServer(benchmark::State& state) {
  pipetest::TempPipeFolder folder;
  auto server = pipetest::MakeServer(kName);
  std::string path;
  win32::PipeSocketPath(kName, folder.Path(), path);
  linuxsys::UnixSocket holder;
  linuxsys::UnixSocketConnect(path, SOCK_SEQPACKET, std::nullopt, holder);
  ConnectNamedPipe(server.get(), nullptr);  // busy with holder for the whole run
  TimeCalls(state);
}

BENCHMARK(BM_NoServer)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EchoServer)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SilentServer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
// The queue holds kPipeQueueLength + 1 callers; stay below so each one waits the full bound.
BENCHMARK(BM_BusyServer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
