// Named pipes over Unix-domain sockets: real sockets in a private folder, real threads and, for
// the cross-process cases, real child processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/unix_socket.h"
#include "tests/pipes/pipe_test_support.h"

namespace {

using pipetest::EchoServer;
using pipetest::MakeServer;
using pipetest::UniqueHandle;
using Clock = std::chrono::steady_clock;

constexpr const char16_t* kName = u"\\\\.\\pipe\\test@Pipes";

std::string SocketPath(const std::string& folder, const char16_t* name = kName) {
  std::string path;
  EXPECT_EQ(win32::PipeSocketPath(name, folder, path), ERROR_SUCCESS);
  return path;
}

linuxsys::UnixSocket RawClient(const std::string& path) {
  linuxsys::UnixSocket sock;
  EXPECT_EQ(linuxsys::UnixSocketConnect(path, SOCK_SEQPACKET, std::nullopt, sock), 0);
  return sock;
}

std::vector<unsigned char> Pattern(std::size_t size, unsigned seed) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + seed);
  return bytes;
}

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class PipeTest : public ::testing::Test {
 protected:
  pipetest::TempPipeFolder folder_;
};

// ---------------------------------------------------------------------------------------------
// Names

struct NameCase {
  const char16_t* name;
  DWORD error;
  const char* file;  // expected file name in the folder when error is 0
};

class PipeNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(PipeNameTest, MapsToOneFileInsideTheFolder) {
  const auto& c = GetParam();
  std::string path;
  ASSERT_EQ(win32::PipeSocketPath(c.name, "/run/win32-pipes", path), c.error);
  if (c.error == ERROR_SUCCESS) {
    EXPECT_EQ(path, std::string("/run/win32-pipes/") + c.file);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, PipeNameTest,
    ::testing::Values(NameCase{u"\\\\.\\pipe\\orv@Kestrow", 0, "orv@kestrow"},
                      NameCase{u"\\\\.\\PIPE\\ORV@KESTROW", 0, "orv@kestrow"},
                      NameCase{u"\\\\.\\pipe\\a\\b", 0, "a%5Cb"},
                      NameCase{u"\\\\.\\pipe\\..", 0, "%2E%2E"},
                      NameCase{u"\\\\.\\pipe\\x/../y.lock", 0, "x%2F%2E%2E%2Fy%2Elock"},
                      NameCase{u"\\\\.\\pipe\\caf\u00e9", 0, "caf%C3%A9"},
                      NameCase{u"\\\\.\\pipe\\", ERROR_INVALID_NAME, nullptr},
                      NameCase{u"\\\\.\\pipe", ERROR_INVALID_NAME, nullptr},
                      NameCase{u"orv@Kestrow", ERROR_INVALID_NAME, nullptr},
                      NameCase{u"\\\\.\\mailslot\\x", ERROR_INVALID_NAME, nullptr},
                      NameCase{u"\\\\host\\pipe\\x", ERROR_BAD_NETPATH, nullptr}));

TEST(PipeNames, LongNamesAreHashedToFitASocketAddress) {
  std::u16string a = u"\\\\.\\pipe\\" + std::u16string(300, u'a');
  std::u16string b = u"\\\\.\\pipe\\" + std::u16string(299, u'a') + u"b";
  std::string pathA, pathB, pathUpper;
  ASSERT_EQ(win32::PipeSocketPath(a, "/run/win32-pipes", pathA), ERROR_SUCCESS);
  ASSERT_EQ(win32::PipeSocketPath(b, "/run/win32-pipes", pathB), ERROR_SUCCESS);
  std::u16string upper = u"\\\\.\\pipe\\" + std::u16string(300, u'A');
  ASSERT_EQ(win32::PipeSocketPath(upper, "/run/win32-pipes", pathUpper), ERROR_SUCCESS);
  EXPECT_LT(pathA.size(), 108u);
  EXPECT_NE(pathA, pathB);
  EXPECT_EQ(pathA, pathUpper);
  std::string tooDeep;
  EXPECT_EQ(win32::PipeSocketPath(a, "/" + std::string(120, 'd'), tooDeep),
            ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(PipeTest, ServerAndClientOfALongNameMeet) {
  std::u16string name = u"\\\\.\\pipe\\" + std::u16string(200, u'n');
  EchoServer server(name.c_str());
  ASSERT_TRUE(server.Ok()) << GetLastError();
  char in[3] = {1, 2, 3}, out[3] = {};
  DWORD read = 0;
  EXPECT_TRUE(CallNamedPipeW(name.c_str(), in, 3, out, 3, &read, NMPWAIT_NOWAIT));
  EXPECT_EQ(read, 3u);
}

// ---------------------------------------------------------------------------------------------
// Creation

struct CreateCase {
  const char* what;
  const char16_t* name;
  DWORD openMode, pipeMode, maxInstances, error;
};

class PipeCreateTest : public PipeTest, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(PipeCreateTest, RefusesWhatIsNotServed) {
  const auto& c = GetParam();
  HANDLE h =
      CreateNamedPipeW(c.name, c.openMode, c.pipeMode, c.maxInstances, 4096, 4096, 0, nullptr);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), c.error);
}

constexpr DWORD kMessage = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE;

INSTANTIATE_TEST_SUITE_P(
    Arguments, PipeCreateTest,
    ::testing::Values(
        CreateCase{"byte pipe", kName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, ERROR_NOT_SUPPORTED},
        CreateCase{"byte reads", kName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1,
                   ERROR_NOT_SUPPORTED},
        CreateCase{"message reads of a byte pipe", kName, PIPE_ACCESS_DUPLEX, PIPE_READMODE_MESSAGE,
                   1, ERROR_INVALID_PARAMETER},
        CreateCase{"non-blocking", kName, PIPE_ACCESS_DUPLEX, kMessage | PIPE_NOWAIT, 1,
                   ERROR_NOT_SUPPORTED},
        CreateCase{"overlapped", kName, PIPE_ACCESS_DUPLEX | 0x40000000, kMessage, 1,
                   ERROR_NOT_SUPPORTED},
        CreateCase{"no access", kName, 0, kMessage, 1, ERROR_INVALID_PARAMETER},
        CreateCase{"no instances", kName, PIPE_ACCESS_DUPLEX, kMessage, 0, ERROR_INVALID_PARAMETER},
        CreateCase{"too many instances", kName, PIPE_ACCESS_DUPLEX, kMessage, 256,
                   ERROR_INVALID_PARAMETER},
        CreateCase{"remote", u"\\\\host\\pipe\\x", PIPE_ACCESS_DUPLEX, kMessage, 1,
                   ERROR_INVALID_NAME},
        CreateCase{"null name", nullptr, PIPE_ACCESS_DUPLEX, kMessage, 1, ERROR_INVALID_PARAMETER}),
    [](const auto& info) {
      std::string s = info.param.what;
      for (auto& c : s) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return s;
    });

TEST_F(PipeTest, InstancesOfOneProcessShareTheNameUpToTheirMaximum) {
  auto first = MakeServer(kName, 2);
  ASSERT_TRUE(first) << GetLastError();
  auto second = MakeServer(kName, 2);
  ASSERT_TRUE(second) << GetLastError();
  EXPECT_FALSE(MakeServer(kName, 2));
  EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);
  EXPECT_FALSE(MakeServer(kName, 3));  // the maximum must match the first instance's
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateNamedPipeW(kName, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE, kMessage, 2,
                             0, 0, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  // Both instances take clients from the one name.
  std::thread a([&] { ConnectNamedPipe(first.get(), nullptr); });
  std::thread b([&] { ConnectNamedPipe(second.get(), nullptr); });
  auto c1 = RawClient(SocketPath(folder_.Path()));
  auto c2 = RawClient(SocketPath(folder_.Path()));
  a.join();
  b.join();
  ASSERT_EQ(::send(c1.Get(), "1", 1, 0), 1);
  ASSERT_EQ(::send(c2.Get(), "2", 1, 0), 1);
  char x = 0, y = 0;
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(first.get(), &x, 1, &read, nullptr));
  EXPECT_TRUE(ReadFile(second.get(), &y, 1, &read, nullptr));
  EXPECT_EQ(std::string() + x + y == "12" || std::string() + x + y == "21", true);

  first.reset();
  EXPECT_TRUE(MakeServer(kName, 2)) << "a closed instance frees its place";
}

TEST_F(PipeTest, ClosingTheLastInstanceRemovesThePipe) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  struct stat st;
  std::string path = SocketPath(folder_.Path());
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  server.reset();
  EXPECT_NE(::stat(path.c_str(), &st), 0);
  EXPECT_NE(::stat((path + ".lock").c_str(), &st), 0);
  char byte = 0;
  DWORD read = 0;
  EXPECT_FALSE(CallNamedPipeW(kName, &byte, 1, &byte, 1, &read, NMPWAIT_NOWAIT));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(PipeTest, AnsiNameCreatesTheSamePipe) {
  HANDLE h = CreateNamedPipeA("\\\\.\\pipe\\TEST@pipes", PIPE_ACCESS_DUPLEX, kMessage, 1, 4096,
                              4096, 2000, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  UniqueHandle server(h);
  std::thread serve([&] {
    BOOL ok = ConnectNamedPipe(h, nullptr);
    ASSERT_TRUE(ok || GetLastError() == ERROR_PIPE_CONNECTED);
    char buffer[16];
    DWORD read = 0, written = 0;
    ReadFile(h, buffer, sizeof buffer, &read, nullptr);
    WriteFile(h, buffer, read, &written, nullptr);
    FlushFileBuffers(h);
  });
  char out[5] = {};
  DWORD read = 0;
  EXPECT_TRUE(CallNamedPipeW(kName, const_cast<char*>("ping"), 4, out, 5, &read, 1000));
  EXPECT_EQ(std::string(out, read), "ping");
  serve.join();
}

// ---------------------------------------------------------------------------------------------
// Messages

TEST_F(PipeTest, MessagesKeepTheirBoundariesBothWays) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  auto client = RawClient(SocketPath(folder_.Path()));
  ConnectNamedPipe(server.get(), nullptr);

  const std::vector<std::size_t> sizes = {1, 0, 3000, 2};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    auto m = Pattern(sizes[i], static_cast<unsigned>(i));
    ASSERT_EQ(::send(client.Get(), m.data(), m.size(), 0), static_cast<ssize_t>(m.size()));
  }
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    std::vector<unsigned char> buffer(4096);
    DWORD read = 99;
    ASSERT_TRUE(ReadFile(server.get(), buffer.data(), 4096, &read, nullptr)) << i;
    buffer.resize(read);
    EXPECT_EQ(buffer, Pattern(sizes[i], static_cast<unsigned>(i))) << i;
  }

  for (std::size_t size : {5u, 7u}) {
    auto m = Pattern(size, 1);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(server.get(), m.data(), static_cast<DWORD>(size), &written, nullptr));
    EXPECT_EQ(written, size);
  }
  for (std::size_t size : {5u, 7u}) {
    unsigned char buffer[64];
    EXPECT_EQ(::recv(client.Get(), buffer, sizeof buffer, 0), static_cast<ssize_t>(size));
  }
}

TEST_F(PipeTest, AMessageLongerThanTheReadReportsMoreData) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  auto client = RawClient(SocketPath(folder_.Path()));
  ConnectNamedPipe(server.get(), nullptr);
  auto m = Pattern(2048, 3);
  ASSERT_EQ(::send(client.Get(), m.data(), m.size(), 0), 2048);
  ASSERT_EQ(::send(client.Get(), "next", 4, 0), 4);

  std::vector<unsigned char> got;
  unsigned char buffer[4096];
  DWORD read = 0;
  EXPECT_FALSE(ReadFile(server.get(), buffer, 1000, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  EXPECT_EQ(read, 1000u);
  got.insert(got.end(), buffer, buffer + read);
  EXPECT_FALSE(ReadFile(server.get(), buffer, 500, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  got.insert(got.end(), buffer, buffer + read);
  EXPECT_TRUE(ReadFile(server.get(), buffer, 4096, &read, nullptr));
  EXPECT_EQ(read, 548u);
  got.insert(got.end(), buffer, buffer + read);
  EXPECT_EQ(got, m);
  EXPECT_TRUE(ReadFile(server.get(), buffer, 4096, &read, nullptr));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), read), "next");
}

TEST_F(PipeTest, AReplyLongerThanTheCallersBufferReportsMoreData) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  std::thread serve([&] {
    ConnectNamedPipe(server.get(), nullptr);
    char buffer[16];
    DWORD read = 0, written = 0;
    ReadFile(server.get(), buffer, sizeof buffer, &read, nullptr);
    WriteFile(server.get(), "a long reply", 12, &written, nullptr);
    FlushFileBuffers(server.get());
  });
  char out[6] = {};
  DWORD read = 0;
  EXPECT_FALSE(CallNamedPipeW(kName, const_cast<char*>("q"), 1, out, 6, &read, 2000));
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  EXPECT_EQ(read, 6u);
  EXPECT_EQ(std::string(out, 6), "a long");
  serve.join();
}

// ---------------------------------------------------------------------------------------------
// Connecting, disconnecting, closing

TEST_F(PipeTest, AClientThatCameBeforeTheWaitIsReportedAndUsable) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  auto client = RawClient(SocketPath(folder_.Path()));
  ASSERT_EQ(::send(client.Get(), "early", 5, 0), 5);
  EXPECT_FALSE(ConnectNamedPipe(server.get(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PIPE_CONNECTED);
  char buffer[16];
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(server.get(), buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "early");
  // Waiting again while the client is still connected says so too.
  EXPECT_FALSE(ConnectNamedPipe(server.get(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PIPE_CONNECTED);
}

TEST_F(PipeTest, AClientThatComesDuringTheWaitConnectsIt) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  std::promise<pid_t> tid;
  std::atomic<BOOL> result{-1};
  std::thread wait([&] {
    tid.set_value(::gettid());
    result = ConnectNamedPipe(server.get(), nullptr);
  });
  ASSERT_TRUE(pipetest::WaitUntilInPoll(tid.get_future().get()));
  auto client = RawClient(SocketPath(folder_.Path()));
  wait.join();
  EXPECT_EQ(result, TRUE);
}

TEST_F(PipeTest, DisconnectEndsTheClientAndTheInstanceServesTheNext) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  char buffer[16];
  DWORD read = 0, written = 0;
  EXPECT_FALSE(ReadFile(server.get(), buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PIPE_LISTENING);

  auto first = RawClient(SocketPath(folder_.Path()));
  ConnectNamedPipe(server.get(), nullptr);
  ASSERT_TRUE(WriteFile(server.get(), "bye", 3, &written, nullptr));
  ASSERT_TRUE(DisconnectNamedPipe(server.get()));
  EXPECT_EQ(::recv(first.Get(), buffer, sizeof buffer, 0), 3) << "written data stays readable";
  EXPECT_EQ(::recv(first.Get(), buffer, sizeof buffer, 0), 0);
  EXPECT_FALSE(WriteFile(server.get(), "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PIPE_LISTENING);

  auto second = RawClient(SocketPath(folder_.Path()));
  ASSERT_EQ(::send(second.Get(), "two", 3, 0), 3);
  ConnectNamedPipe(server.get(), nullptr);
  EXPECT_TRUE(ReadFile(server.get(), buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "two");

  second.Reset();  // the client goes away
  EXPECT_FALSE(ReadFile(server.get(), buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
  EXPECT_FALSE(WriteFile(server.get(), "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NO_DATA);
}

TEST_F(PipeTest, ClosingTheHandleEndsAWaitInAnotherThread) {
  HANDLE raw = MakeServer(kName).release();
  ASSERT_NE(raw, nullptr);
  std::promise<pid_t> tid;
  DWORD error = 0;
  BOOL result = TRUE;
  std::thread wait([&] {
    tid.set_value(::gettid());
    result = ConnectNamedPipe(raw, nullptr);
    error = GetLastError();
  });
  ASSERT_TRUE(pipetest::WaitUntilInPoll(tid.get_future().get()));
  EXPECT_TRUE(CloseHandle(raw));
  wait.join();
  EXPECT_FALSE(result);
  EXPECT_EQ(error, ERROR_OPERATION_ABORTED);
  EXPECT_FALSE(DisconnectNamedPipe(raw));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(PipeTest, FlushReturnsOnceTheClientHasReadWhatWasWritten) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  auto client = RawClient(SocketPath(folder_.Path()));
  ConnectNamedPipe(server.get(), nullptr);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(server.get(), "one", 3, &written, nullptr));
  ASSERT_TRUE(WriteFile(server.get(), "two", 3, &written, nullptr));
  std::atomic<bool> flushed{false};
  std::thread flush([&] {
    EXPECT_TRUE(FlushFileBuffers(server.get()));
    flushed = true;
  });
  char buffer[8];
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(flushed) << "returned before anything was read";
  EXPECT_EQ(::recv(client.Get(), buffer, sizeof buffer, 0), 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(flushed) << "returned with a message still unread";
  EXPECT_EQ(::recv(client.Get(), buffer, sizeof buffer, 0), 3);
  flush.join();
  EXPECT_TRUE(flushed);
}

TEST_F(PipeTest, InboundAndOutboundInstancesOnlyGoOneWay) {
  HANDLE in = CreateNamedPipeW(kName, PIPE_ACCESS_INBOUND, kMessage, 1, 0, 0, 0, nullptr);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  UniqueHandle inbound(in);
  auto client = RawClient(SocketPath(folder_.Path()));
  ConnectNamedPipe(in, nullptr);
  DWORD written = 0;
  EXPECT_FALSE(WriteFile(in, "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  inbound.reset();

  HANDLE out = CreateNamedPipeW(kName, PIPE_ACCESS_OUTBOUND, kMessage, 1, 0, 0, 0, nullptr);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  UniqueHandle outbound(out);
  char buffer[4];
  DWORD read = 0;
  EXPECT_FALSE(ReadFile(out, buffer, 4, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

// ---------------------------------------------------------------------------------------------
// CallNamedPipeW

TEST_F(PipeTest, CallNamedPipeEchoesThroughAListenerLikeServer) {
  EchoServer server(kName);
  ASSERT_TRUE(server.Ok());
  for (unsigned round = 0; round < 3; ++round) {
    auto in = Pattern(2048, round);
    std::vector<unsigned char> out(2048);
    DWORD read = 0;
    ASSERT_TRUE(CallNamedPipeW(kName, in.data(), 2048, out.data(), 2048, &read, NMPWAIT_NOWAIT))
        << GetLastError();
    EXPECT_EQ(read, 2048u);
    EXPECT_EQ(out, in);
  }
  EXPECT_EQ(server.WaitForMessages(3).size(), 3u);
}

TEST_F(PipeTest, CallNamedPipeWithoutServerFailsAtOnce) {
  char byte = 0;
  DWORD read = 7;
  auto start = Clock::now();
  EXPECT_FALSE(CallNamedPipeW(kName, &byte, 1, &byte, 1, &read, NMPWAIT_WAIT_FOREVER));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(read, 0u);
  EXPECT_LT(MillisecondsSince(start), 1000);

  EXPECT_FALSE(CallNamedPipeW(u"\\\\host\\pipe\\x", &byte, 1, &byte, 1, &read, 1));
  EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
  EXPECT_FALSE(CallNamedPipeW(kName, nullptr, 1, &byte, 1, &read, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// The server is busy with one client while a second calls: the second waits in the queue, is
// connected before the server's next wait, and is served.
TEST_F(PipeTest, ACallThatFindsTheServerBusyIsQueuedAndServed) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  std::promise<pid_t> secondTid;
  std::promise<void> firstRead;
  DWORD secondWait = 0;
  std::vector<std::string> served;
  std::thread serve([&] {
    for (int client = 0; client < 2; ++client) {
      BOOL ok = ConnectNamedPipe(server.get(), nullptr);
      if (client == 1) secondWait = ok ? 0 : GetLastError();
      char buffer[64];
      DWORD read = 0, written = 0;
      ReadFile(server.get(), buffer, sizeof buffer, &read, nullptr);
      served.emplace_back(buffer, read);
      if (client == 0) {
        firstRead.set_value();
        // Busy until the second caller is blocked waiting for its reply.
        pipetest::WaitUntilInPoll(secondTid.get_future().get());
      }
      WriteFile(server.get(), buffer, read, &written, nullptr);
      FlushFileBuffers(server.get());
      DisconnectNamedPipe(server.get());
    }
  });
  char out1[8], out2[8];
  DWORD read1 = 0, read2 = 0;
  BOOL ok1 = FALSE, ok2 = FALSE;
  std::thread first(
      [&] { ok1 = CallNamedPipeW(kName, const_cast<char*>("first"), 5, out1, 8, &read1, 5000); });
  firstRead.get_future().wait();
  std::thread second([&] {
    secondTid.set_value(::gettid());
    ok2 = CallNamedPipeW(kName, const_cast<char*>("second"), 6, out2, 8, &read2, 5000);
  });
  first.join();
  second.join();
  serve.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
  EXPECT_EQ(std::string(out2, read2), "second");
  EXPECT_EQ(secondWait, ERROR_PIPE_CONNECTED);
  EXPECT_EQ(served, (std::vector<std::string>{"first", "second"}));
}

// Busy for longer than the caller may wait: the caller gives up within the bound, and its
// message still reaches the server afterwards.
TEST_F(PipeTest, ACallGivesUpOnAServerBusyPastTheBoundButItsMessageArrives) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  auto holder = RawClient(SocketPath(folder_.Path()));
  ConnectNamedPipe(server.get(), nullptr);  // busy with holder, never serving the caller

  char out[8];
  DWORD read = 0;
  auto start = Clock::now();
  EXPECT_FALSE(CallNamedPipeW(kName, const_cast<char*>("late"), 4, out, 8, &read, NMPWAIT_NOWAIT));
  auto elapsed = MillisecondsSince(start);
  EXPECT_EQ(GetLastError(), ERROR_SEM_TIMEOUT);
  EXPECT_LT(elapsed, 1000);
  RecordProperty("busy_server_ms", static_cast<int>(elapsed));

  ASSERT_TRUE(DisconnectNamedPipe(server.get()));
  EXPECT_FALSE(ConnectNamedPipe(server.get(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PIPE_CONNECTED);
  char buffer[8];
  EXPECT_TRUE(ReadFile(server.get(), buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "late");
}

TEST_F(PipeTest, AFullQueueMakesTheCallerGiveUpWithinTheBound) {
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  std::vector<linuxsys::UnixSocket> queued;
  std::string path = SocketPath(folder_.Path());
  // Fill the queue; the kernel takes one connection more than the queue length.
  for (;;) {
    linuxsys::UnixSocket sock;
    int e = linuxsys::UnixSocketConnect(path, SOCK_SEQPACKET,
                                        Clock::now() + std::chrono::milliseconds(20), sock);
    if (e != 0) break;
    queued.push_back(std::move(sock));
    ASSERT_LT(queued.size(), 100u);
  }
  EXPECT_GE(queued.size(), static_cast<std::size_t>(win32::kPipeQueueLength));
  char byte = 0;
  DWORD read = 0;
  auto start = Clock::now();
  EXPECT_FALSE(CallNamedPipeW(kName, &byte, 1, &byte, 1, &read, NMPWAIT_NOWAIT));
  EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);
  EXPECT_LT(MillisecondsSince(start), 1000);
}

struct SilentCase {
  const char* what;
  bool accepts;
};

class SilentServerTest : public PipeTest, public ::testing::WithParamInterface<SilentCase> {};

// The worst case for a caller that must not be held: a server that never answers.
TEST_P(SilentServerTest, CallReturnsWithinTheBound) {
  std::unique_ptr<EchoServer> silent;
  UniqueHandle idle;
  if (GetParam().accepts) {
    silent = std::make_unique<EchoServer>(kName, true);
    ASSERT_TRUE(silent->Ok());
  } else {
    idle = MakeServer(kName);  // exists, never waits for a client
    ASSERT_TRUE(idle);
  }
  std::vector<unsigned char> buffer(2048, 0x41);
  DWORD read = 0;
  auto start = Clock::now();
  EXPECT_FALSE(
      CallNamedPipeW(kName, buffer.data(), 2048, buffer.data(), 2048, &read, NMPWAIT_NOWAIT));
  auto elapsed = MillisecondsSince(start);
  EXPECT_EQ(GetLastError(), ERROR_SEM_TIMEOUT);
  EXPECT_GE(elapsed, static_cast<long long>(win32::kPipeShortWaitMs) - 5);
  EXPECT_LT(elapsed, 1000);
  RecordProperty("silent_server_ms", static_cast<int>(elapsed));
  if (silent) {
    EXPECT_EQ(silent->WaitForMessages(1).size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, SilentServerTest,
                         ::testing::Values(SilentCase{"AcceptsAndNeverAnswers", true},
                                           SilentCase{"NeverAccepts", false}),
                         [](const auto& info) { return std::string(info.param.what); });

// ---------------------------------------------------------------------------------------------
// Leftovers and other processes

// A forked child running body; killed and reaped should the test end without waiting for it.
class Child {
 public:
  explicit Child(const std::function<int()>& body) : pid_(::fork()) {
    if (pid_ == 0) ::_exit(body());
  }
  ~Child() { Kill(); }
  bool Started() const { return pid_ > 0; }
  int ExitCode() {
    int status = -1;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
  }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_;
};

// A child tells its parent it is ready (1) or failed (0).
class ReadyPipe {
 public:
  ReadyPipe() {
    if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
  }
  ~ReadyPipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  void Signal(bool ok) {
    char byte = ok ? 1 : 0;
    [[maybe_unused]] auto n = ::write(fds_[1], &byte, 1);
  }
  bool Wait() {
    char byte = 0;
    return ::read(fds_[0], &byte, 1) == 1 && byte == 1;
  }

 private:
  int fds_[2];
};

// Runs body as user nobody (its result is the exit code).
std::function<int()> AsUser(uid_t user, std::function<int()> body) {
  return [user, body] {
    if (::setgid(user) != 0 || ::setuid(user) != 0) return 100;
    return body();
  };
}

struct LeftoverCase {
  const char* what;
  bool kill;  // a real server process killed; otherwise a bare socket file with no lock
};

class LeftoverTest : public PipeTest, public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(LeftoverTest, ASocketLeftBehindNeverStopsANewServer) {
  std::string path = SocketPath(folder_.Path());
  if (GetParam().kill) {
    ReadyPipe ready;
    Child server([&] {
      ready.Signal(CreateNamedPipeW(kName, PIPE_ACCESS_DUPLEX, kMessage, 1, 0, 0, 0, nullptr) !=
                   INVALID_HANDLE_VALUE);
      for (;;) ::pause();
      return 0;
    });
    ASSERT_TRUE(server.Started());
    ASSERT_TRUE(ready.Wait());
    server.Kill();
  } else {
    linuxsys::UnixSocket stale;
    ASSERT_EQ(linuxsys::UnixSocketListen(path, SOCK_SEQPACKET, 0600, 1, stale), 0);
    stale.Reset();  // the file stays, nobody listens
  }
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0) << "the leftover socket is there";

  char byte = 'x';
  DWORD read = 0;
  EXPECT_FALSE(CallNamedPipeW(kName, &byte, 1, &byte, 1, &read, NMPWAIT_NOWAIT));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << "a leftover is no server";

  EchoServer server(kName);
  ASSERT_TRUE(server.Ok()) << GetLastError();
  EXPECT_TRUE(CallNamedPipeW(kName, &byte, 1, &byte, 1, &read, NMPWAIT_NOWAIT)) << GetLastError();
}

INSTANTIATE_TEST_SUITE_P(Leftovers, LeftoverTest,
                         ::testing::Values(LeftoverCase{"KilledServer", true},
                                           LeftoverCase{"BareSocket", false}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(PipeTest, ALiveServerInAnotherProcessKeepsItsNameAndServes) {
  ReadyPipe ready;
  Child other([&] {
    HANDLE h = CreateNamedPipeW(kName, PIPE_ACCESS_DUPLEX, kMessage, 1, 0, 0, 0, nullptr);
    ready.Signal(h != INVALID_HANDLE_VALUE);
    BOOL connected = ConnectNamedPipe(h, nullptr);
    if (!connected && GetLastError() != ERROR_PIPE_CONNECTED) return 2;
    char buffer[32];
    DWORD read = 0, written = 0;
    ReadFile(h, buffer, sizeof buffer, &read, nullptr);
    buffer[0] = 'C';
    WriteFile(h, buffer, read, &written, nullptr);
    FlushFileBuffers(h);
    return 0;
  });
  ASSERT_TRUE(other.Started());
  ASSERT_TRUE(ready.Wait());

  EXPECT_FALSE(MakeServer(kName));
  EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);

  char out[8] = {};
  DWORD read = 0;
  EXPECT_TRUE(CallNamedPipeW(kName, const_cast<char*>("ask"), 3, out, 8, &read, 5000));
  EXPECT_EQ(std::string(out, read), "Csk");
  EXPECT_EQ(other.ExitCode(), 0);
}

struct OtherUserCase {
  const char* what;
  mode_t socketMode;  // 0: as the server made it
  DWORD error;        // what the other user's call fails with
};

class OtherUserTest : public PipeTest, public ::testing::WithParamInterface<OtherUserCase> {};

TEST_P(OtherUserTest, AnotherUserIsRefusedAndTheServerNeverSeesIt) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to run a client as another user";
  }
  auto server = MakeServer(kName);
  ASSERT_TRUE(server);
  std::string path = SocketPath(folder_.Path());
  if (GetParam().socketMode) {
    ASSERT_EQ(::chmod(path.c_str(), GetParam().socketMode), 0);
  }

  // The child starts first, so the serving thread never exists in it.
  Child intruder(AsUser(65534, [] {
    char out[16];
    DWORD read = 0;
    if (CallNamedPipeW(kName, const_cast<char*>("intruder"), 8, out, 16, &read, 5000)) return 0;
    return static_cast<int>(GetLastError());
  }));
  ASSERT_TRUE(intruder.Started());
  std::vector<std::string> served;
  std::thread serve([&] {
    BOOL ok = ConnectNamedPipe(server.get(), nullptr);
    if (!ok && GetLastError() != ERROR_PIPE_CONNECTED) return;
    char buffer[32];
    DWORD read = 0, written = 0;
    ReadFile(server.get(), buffer, sizeof buffer, &read, nullptr);
    served.emplace_back(buffer, read);
    WriteFile(server.get(), buffer, read, &written, nullptr);
    FlushFileBuffers(server.get());
  });

  EXPECT_EQ(static_cast<DWORD>(intruder.ExitCode()), GetParam().error);

  char out[16];
  DWORD read = 0;
  EXPECT_TRUE(CallNamedPipeW(kName, const_cast<char*>("owner"), 5, out, 16, &read, 5000));
  serve.join();
  EXPECT_EQ(served, std::vector<std::string>{"owner"});
}

INSTANTIATE_TEST_SUITE_P(
    Users, OtherUserTest,
    ::testing::Values(OtherUserCase{"SocketAsCreated", 0, ERROR_ACCESS_DENIED},
                      // Even with the file opened to all, the server checks who connected.
                      OtherUserCase{"SocketOpenedToAll", 0666, ERROR_BROKEN_PIPE}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(PipeTest, AClientSendsNothingToAServerOfAnotherUser) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to run processes as other users";
  }
  std::string path = SocketPath(folder_.Path());
  ReadyPipe ready;
  // Another unprivileged user takes the name with a socket anyone may connect to.
  Child squatter(AsUser(65533, [&] {
    linuxsys::UnixSocket sock;
    ready.Signal(linuxsys::UnixSocketListen(path, SOCK_SEQPACKET, 0666, 4, sock) == 0);
    for (;;) ::pause();
    return 0;
  }));
  ASSERT_TRUE(squatter.Started());
  ASSERT_TRUE(ready.Wait());
  Child client(AsUser(65534, [] {
    char out[16];
    DWORD read = 0;
    if (CallNamedPipeW(kName, const_cast<char*>("secret"), 6, out, 16, &read, 1000)) return 0;
    return static_cast<int>(GetLastError());
  }));
  int code = client.ExitCode();
  EXPECT_EQ(static_cast<DWORD>(code), ERROR_ACCESS_DENIED);
}

}  // namespace
