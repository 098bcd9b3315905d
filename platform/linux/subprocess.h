// Child processes without a shell: an argument vector, captured output, a deadline after which
// the child's process group is terminated (SIGTERM, then SIGKILL after a grace period).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace linuxsys {

struct RunOptions {
  std::chrono::milliseconds timeout{5000};
  std::chrono::milliseconds grace{300};  // between SIGTERM and SIGKILL
  std::string input;                     // written to the child's stdin, which is then closed
  std::size_t maxOutput = 16u << 20;     // per stream; the rest is read and dropped
  std::vector<std::string> env;          // NAME=VALUE entries added to (or replacing) ours
};

struct ProcessResult {
  bool started = false;
  int spawnError = 0;   // errno when the program could not be started (ENOENT: no such tool)
  bool exited = false;  // ended by exit(), exitCode valid
  int exitCode = -1;
  int signal = 0;  // the signal that ended it
  bool timedOut = false;
  bool truncated = false;  // an output stream went past maxOutput
  std::string out;
  std::string err;

  bool Succeeded() const { return started && exited && exitCode == 0 && !timedOut; }
};

// Runs argv[0] (looked up in PATH when it has no slash) and waits for it, at most until the
// timeout. Never throws for failures of the child; see ProcessResult.
ProcessResult RunProcess(const std::vector<std::string>& argv, const RunOptions& options = {});

// A long-running child: stdin is a pipe the owner writes to, stdout and stderr go together
// into a buffer the owner reads (or to /dev/null). The destructor stops and reaps it.
class ChildProcess {
 public:
  struct Options {
    bool pipeInput = true;  // else stdin is /dev/null
    bool captureOutput = true;
    std::vector<std::string> env;
  };

  // nullptr and *error set to errno when it cannot be started.
  static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv,
                                             const Options& options, int* error = nullptr);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // False when the child no longer reads its input.
  bool Write(std::string_view text);
  void CloseInput();
  // Bytes written that the child has not read yet.
  std::size_t UnreadInput() const;
  // Reads what the child printed until `needle` appears in the output after `from` (a byte
  // offset into Output()), the child ends, or the timeout passes. Returns the position just
  // after the needle, or npos.
  std::size_t WaitForOutput(std::string_view needle, std::size_t from,
                            std::chrono::milliseconds timeout);
  const std::string& Output() const { return output_; }
  bool Running();
  // SIGTERM to its group, SIGKILL after `grace`; returns the wait status (or -1).
  int Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(1000));
  // Waits at most `timeout` for it to end by itself; true when it has ended.
  bool WaitExit(std::chrono::milliseconds timeout);
  int ExitStatus() const { return status_; }

 private:
  ChildProcess() = default;
  void Drain(int waitMs);
  bool Reap(bool block);

  pid_t pid_ = -1;
  int pidfd_ = -1;
  int input_ = -1;
  int output_fd_ = -1;
  bool reaped_ = false;
  int status_ = -1;
  std::string output_;
};

}  // namespace linuxsys
