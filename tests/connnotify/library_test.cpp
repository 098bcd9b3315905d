// The real orvConnNotify shared object, loaded with dlopen as the router loads it, talking to a
// pipe server of this test.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "connnotify/notify_records.h"
#include "platform/linux/unix_socket.h"
#include "platform/win32/strings.h"
#include "tests/pipes/pipe_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char16_t* kListenerPipe = u"\\\\.\\pipe\\orv@Kestrow";

struct Text {
  explicit Text(std::u16string s) : units(s.begin(), s.end()) { units.push_back(0); }
  LPWSTR get() { return units.data(); }
  std::vector<char16_t> units;
};

// The text of a 2048-byte UTF-16LE message: up to its NUL, which must be inside.
std::string Decode(const std::vector<unsigned char>& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) return win32::Utf8FromUtf16(text);
    text += unit;
  }
  ADD_FAILURE() << "no terminator in the message";
  return {};
}

// One loaded copy of the library. Each copy is loaded from its own file, so it is a copy of its
// own with its own counter, as in a new process.
class LoadedNotifier {
 public:
  explicit LoadedNotifier(const std::string& folder) {
    static std::atomic<int> copies{0};
    path_ = folder + "/liborvConnNotify-" + std::to_string(++copies) + ".so";
    std::filesystem::copy_file(CONNNOTIFY_LIBRARY, path_);
    handle_ = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
      ADD_FAILURE() << ::dlerror();
      return;
    }
    add_ = reinterpret_cast<PF_AddConnectNotify>(::dlsym(handle_, kAddConnectNotifyName));
    cancel_ = reinterpret_cast<PF_CancelConnectNotify>(::dlsym(handle_, kCancelConnectNotifyName));
  }
  ~LoadedNotifier() {
    if (handle_) ::dlclose(handle_);
  }
  bool Ok() const { return add_ && cancel_; }
  DWORD Add(NOTIFYINFO* info, NOTIFYADD* add) const { return add_(info, add); }
  DWORD Cancel(NOTIFYINFO* info, NOTIFYCANCEL* cancel) const { return cancel_(info, cancel); }

 private:
  std::string path_;
  void* handle_ = nullptr;
  PF_AddConnectNotify add_ = nullptr;
  PF_CancelConnectNotify cancel_ = nullptr;
};

class NotifierLibraryTest : public ::testing::Test {
 protected:
  pipetest::TempPipeFolder folder_;
  LoadedNotifier notifier_{folder_.Path()};
};

TEST(NotifierLibraryExports, ExactlyTheTwoEntryPoints) {
  std::string command = std::string("nm -D --defined-only '") + CONNNOTIFY_LIBRARY + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> nm(::popen(command.c_str(), "r"), ::pclose);
  ASSERT_TRUE(nm);
  std::set<std::string> symbols;
  char line[1024];
  while (std::fgets(line, sizeof line, nm.get())) {
    std::string text(line);
    auto last = text.find_last_of(' ');
    symbols.insert(text.substr(last + 1, text.find_last_not_of("\r\n") - last));
  }
  EXPECT_EQ(symbols, (std::set<std::string>{"AddConnectNotify", "CancelConnectNotify"}));
}

TEST_F(NotifierLibraryTest, EventsArriveAsWholeMessagesNumberedFromOne) {
  ASSERT_TRUE(notifier_.Ok());
  pipetest::EchoServer server(kListenerPipe);
  ASSERT_TRUE(server.Ok());

  Text local(u"X:"), remote(u"\\\\host\\docs");
  NOTIFYADD add{};
  add.dwAddFlags = CONNECT_UPDATE_PROFILE;
  add.NetResource = {0, RESOURCETYPE_DISK, 0, 0, local.get(), remote.get(), nullptr, nullptr};
  NOTIFYINFO info{NOTIFY_PRE, 0, nullptr};
  EXPECT_EQ(notifier_.Add(&info, &add), WN_SUCCESS);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(info.lpContext), 1u);
  info.dwNotifyStatus = NOTIFY_POST;
  EXPECT_EQ(notifier_.Add(&info, &add), WN_SUCCESS);

  NOTIFYCANCEL cancel{local.get(), nullptr, 1, FALSE};
  NOTIFYINFO cancelInfo{NOTIFY_PRE, 0, nullptr};
  EXPECT_EQ(notifier_.Cancel(&cancelInfo, &cancel), WN_SUCCESS);
  cancelInfo.dwNotifyStatus = NOTIFY_POST;
  cancelInfo.dwOperationStatus = 2250;
  EXPECT_EQ(notifier_.Cancel(&cancelInfo, &cancel), WN_SUCCESS);

  auto messages = server.WaitForMessages(4);
  ASSERT_EQ(messages.size(), 4u);
  for (const auto& m : messages) EXPECT_EQ(m.size(), 2048u);
  EXPECT_EQ(Decode(messages[0]),
            "Pre-Add:Context=1, AddFlags=UpdateProfile (1), Scope=0, Type=Disk, "
            "DisplayType=Generic, Usage=(0), LocalName=X:, RemoteName=\\\\host\\docs");
  EXPECT_EQ(Decode(messages[1]),
            "Post-Add (0):Context=1, AddFlags=UpdateProfile (1), Scope=0, Type=Disk, "
            "DisplayType=Generic, Usage=(0), LocalName=X:, RemoteName=\\\\host\\docs");
  EXPECT_EQ(Decode(messages[2]),
            "Pre-Cancel:Context=2, Name=X:, Flags=PersistentCancel, Force=FALSE");
  EXPECT_EQ(Decode(messages[3]),
            "Post-Cancel (8ca):Context=2, Name=X:, Flags=PersistentCancel, Force=FALSE");
}

TEST_F(NotifierLibraryTest, EachLoadedCopyCountsOnItsOwn) {
  LoadedNotifier second(folder_.Path());
  ASSERT_TRUE(notifier_.Ok() && second.Ok());
  NOTIFYADD add{};
  NOTIFYINFO a{NOTIFY_PRE, 0, nullptr}, b{NOTIFY_PRE, 0, nullptr}, c{NOTIFY_PRE, 0, nullptr};
  notifier_.Add(&a, &add);
  second.Add(&b, &add);
  notifier_.Add(&c, &add);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a.lpContext), 1u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.lpContext), 1u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(c.lpContext), 2u);
}

TEST_F(NotifierLibraryTest, AVeryLongNameStillGivesOneTerminatedMessage) {
  ASSERT_TRUE(notifier_.Ok());
  pipetest::EchoServer server(kListenerPipe);
  Text remote(std::u16string(5000, u'n')), comment(std::u16string(5000, u'c'));
  NOTIFYADD add{};
  add.NetResource.lpRemoteName = remote.get();
  add.NetResource.lpComment = comment.get();
  NOTIFYINFO info{NOTIFY_POST, 0, nullptr};
  EXPECT_EQ(notifier_.Add(&info, &add), WN_SUCCESS);
  auto messages = server.WaitForMessages(1);
  ASSERT_EQ(messages.size(), 1u);
  ASSERT_EQ(messages[0].size(), 2048u);
  std::string text = Decode(messages[0]);
  EXPECT_EQ(text.size(), 1023u);
  EXPECT_EQ(text.rfind("Post-Add (0):Context=0, AddFlags=(0), Scope=0, Type=Any, ", 0), 0u);
}

TEST_F(NotifierLibraryTest, NullRecordsAreIgnored) {
  ASSERT_TRUE(notifier_.Ok());
  NOTIFYINFO info{NOTIFY_PRE, 0, nullptr};
  EXPECT_EQ(notifier_.Add(nullptr, nullptr), WN_SUCCESS);
  EXPECT_EQ(notifier_.Add(&info, nullptr), WN_SUCCESS);
  EXPECT_EQ(notifier_.Cancel(nullptr, nullptr), WN_SUCCESS);
  EXPECT_EQ(info.lpContext, nullptr);
}

struct HoldCase {
  const char* what;
  enum { None, Silent, Busy } server;
};

class NotifierHoldTest : public NotifierLibraryTest,
                         public ::testing::WithParamInterface<HoldCase> {};

// However the listener behaves, the host gets its thread back within the pipe layer's bound,
// with its errno untouched and the operation allowed.
TEST_P(NotifierHoldTest, TheHostIsHeldLessThanASecond) {
  ASSERT_TRUE(notifier_.Ok());
  std::unique_ptr<pipetest::EchoServer> silent;
  pipetest::UniqueHandle busy;
  linuxsys::UnixSocket holder;
  if (GetParam().server == HoldCase::Silent) {
    silent = std::make_unique<pipetest::EchoServer>(kListenerPipe, true);
  } else if (GetParam().server == HoldCase::Busy) {
    busy = pipetest::MakeServer(kListenerPipe);
    std::string path;
    win32::PipeSocketPath(kListenerPipe, folder_.Path(), path);
    ASSERT_EQ(linuxsys::UnixSocketConnect(path, SOCK_SEQPACKET, std::nullopt, holder), 0);
    ConnectNamedPipe(busy.get(), nullptr);
  }
  NOTIFYADD add{};
  NOTIFYINFO info{NOTIFY_PRE, 0, nullptr};
  errno = 4321;
  auto start = Clock::now();
  DWORD result = notifier_.Add(&info, &add);
  auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_EQ(errno, 4321);
  EXPECT_EQ(result, WN_SUCCESS);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(info.lpContext), 1u);
  EXPECT_LT(elapsed, 1000);
  RecordProperty("held_ms", static_cast<int>(elapsed));
}

INSTANTIATE_TEST_SUITE_P(Listeners, NotifierHoldTest,
                         ::testing::Values(HoldCase{"NoServer", HoldCase::None},
                                           HoldCase{"SilentServer", HoldCase::Silent},
                                           HoldCase{"BusyServer", HoldCase::Busy}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(NotifierLibraryTest, ConcurrentCallsOfTheRealLibraryGetDistinctContexts) {
  ASSERT_TRUE(notifier_.Ok());
  constexpr int kEach = 300;  // no server: each call fails at once
  std::vector<std::uintptr_t> seen[2];
  auto run = [&](int which) {
    for (int i = 0; i < kEach; ++i) {
      NOTIFYINFO info{NOTIFY_PRE, 0, nullptr};
      NOTIFYADD add{};
      NOTIFYCANCEL cancel{};
      if (which == 0) {
        notifier_.Add(&info, &add);
      } else {
        notifier_.Cancel(&info, &cancel);
      }
      seen[which].push_back(reinterpret_cast<std::uintptr_t>(info.lpContext));
    }
  };
  std::thread a(run, 0), b(run, 1);
  a.join();
  b.join();
  std::set<std::uintptr_t> all(seen[0].begin(), seen[0].end());
  all.insert(seen[1].begin(), seen[1].end());
  EXPECT_EQ(all.size(), 2u * kEach);
  EXPECT_EQ(*all.begin(), 1u);
  EXPECT_EQ(*all.rbegin(), 2u * kEach);
}

}  // namespace
