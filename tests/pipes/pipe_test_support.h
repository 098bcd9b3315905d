// Shared by the pipe and notifier tests: a private pipe folder and a pipe server thread that
// serves clients the way the program's listener does.
#pragma once

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/pipes.h"
#include "platform/win32/winerror.h"

namespace pipetest {

// A fresh pipe folder for this test only, mode 01777 like the machine-wide one.
class TempPipeFolder {
 public:
  TempPipeFolder() {
    char pattern[] = "/tmp/pipes-test-XXXXXX";
    path_ = ::mkdtemp(pattern);
    ::chmod(path_.c_str(), 01777);
    ::setenv("WIN32_PIPE_DIR", path_.c_str(), 1);
  }
  ~TempPipeFolder() {
    ::unsetenv("WIN32_PIPE_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

struct HandleCloser {
  void operator()(void* handle) const {
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

inline UniqueHandle MakeServer(const char16_t* name, DWORD maxInstances = 1) {
  HANDLE h = CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX,
                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, maxInstances,
                              4096, 4096, 2000, nullptr);
  return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

// Waits (up to 10 s) until the thread is blocked in poll(), where every wait of the pipe layer
// happens.
inline bool WaitUntilInPoll(pid_t tid) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string file = "/proc/self/task/" + std::to_string(tid) + "/syscall";
  while (std::chrono::steady_clock::now() < until) {
    std::ifstream in(file);
    long number = -1;
    if (in >> number && (number == SYS_poll || number == SYS_ppoll)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Serves clients one at a time on one instance as the listener does: wait, read one message of
// up to 4096 bytes, echo it, flush, disconnect. Silent mode reads and never answers.
class EchoServer {
 public:
  explicit EchoServer(const char16_t* name, bool silent = false) : silent_(silent) {
    pipe_ = MakeServer(name);
    if (pipe_) thread_ = std::thread([this] { Run(); });
  }
  ~EchoServer() {
    {
      std::lock_guard guard(lock_);
      stop_ = true;
    }
    changed_.notify_all();
    pipe_.reset();  // ends a wait for a client
    if (thread_.joinable()) thread_.join();
  }
  bool Ok() const { return pipe_ != nullptr; }

  // Waits up to 10 s for the count of messages received to reach n.
  std::vector<std::vector<unsigned char>> WaitForMessages(std::size_t n) {
    std::unique_lock guard(lock_);
    changed_.wait_for(guard, std::chrono::seconds(10), [&] { return messages_.size() >= n; });
    return messages_;
  }

 private:
  void Run() {
    HANDLE pipe = pipe_.get();
    for (;;) {
      BOOL connected = ConnectNamedPipe(pipe, nullptr);
      if (!connected && GetLastError() != ERROR_PIPE_CONNECTED) return;
      std::vector<unsigned char> buffer(4096);
      DWORD read = 0;
      ReadFile(pipe, buffer.data(), 4096, &read, nullptr);
      buffer.resize(read);
      {
        std::lock_guard guard(lock_);
        messages_.push_back(buffer);
      }
      changed_.notify_all();
      if (silent_) {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return stop_; });
        return;
      }
      DWORD written = 0;
      WriteFile(pipe, buffer.data(), read, &written, nullptr);
      FlushFileBuffers(pipe);
      if (!DisconnectNamedPipe(pipe)) return;
    }
  }

  bool silent_;
  UniqueHandle pipe_;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::vector<std::vector<unsigned char>> messages_;
};

}  // namespace pipetest
