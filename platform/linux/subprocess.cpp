#include "platform/linux/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace linuxsys {

namespace {

using Clock = std::chrono::steady_clock;

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  int Get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

int OpenPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  errno = ENOSYS;
  return -1;
#endif
}

void SetNonBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    std::string_view entry(*e);
    auto name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& x : extra) {
      if (std::string_view(x).substr(0, x.find('=')) == name) replaced = true;
    }
    if (!replaced) env.emplace_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// Starts argv with the given descriptors as its 0, 1 and 2, in a process group of its own, with
// default signal dispositions and no other inherited descriptors. Returns 0 or an errno value.
int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, int in,
          int out, int err, pid_t* pid) {
  if (argv.empty() || argv[0].empty()) return EINVAL;
  std::vector<std::string> args = argv;
  std::vector<std::string> env = MergedEnvironment(extraEnv);
  auto argp = Pointers(args);
  auto envp = Pointers(env);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  int rc = posix_spawnp(pid, argp[0], &actions, &attr, argp.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc;
}

// Waits for the pid (or its pidfd) to become reapable, at most `ms` milliseconds.
bool WaitReapable(pid_t pid, int pidfd, int ms) {
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }
  auto end = Clock::now() + std::chrono::milliseconds(ms);
  do {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid)
      return true;
    ::usleep(10000);
  } while (Clock::now() < end);
  return false;
}

int ReapBlocking(pid_t pid) {
  int status = -1;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

void Terminate(pid_t pid, int pidfd, std::chrono::milliseconds grace) {
  ::kill(-pid, SIGTERM);
  ::kill(pid, SIGTERM);
  if (!WaitReapable(pid, pidfd, static_cast<int>(grace.count()))) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
  }
}

// write() that reports a reader gone as EPIPE instead of raising SIGPIPE in the process.
ssize_t WriteQuietly(int fd, const void* data, std::size_t size) {
  sigset_t pipeSignal, old, pending;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  sigpending(&pending);
  const bool wasPending = sigismember(&pending, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
  ssize_t n = ::write(fd, data, size);
  int error = errno;
  if (n < 0 && error == EPIPE && !wasPending) {
    timespec zero{};
    while (sigtimedwait(&pipeSignal, nullptr, &zero) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = error;
  return n;
}

void Append(std::string& to, const char* data, std::size_t n, std::size_t limit, bool& truncated) {
  std::size_t room = to.size() < limit ? limit - to.size() : 0;
  if (n > room) truncated = true;
  to.append(data, std::min(n, room));
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const RunOptions& options) {
  ProcessResult result;
  // Pipes, not sockets: smbd takes a socket on its stdin for a client handed over by inetd.
  int inPair[2], outPipe[2], errPipe[2];
  if (::pipe2(inPair, O_CLOEXEC) != 0) {
    result.spawnError = errno;
    return result;
  }
  Fd inParent(inPair[1]), inChild(inPair[0]);
  if (::pipe2(outPipe, O_CLOEXEC) != 0) {
    result.spawnError = errno;
    return result;
  }
  Fd outRead(outPipe[0]), outWrite(outPipe[1]);
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    result.spawnError = errno;
    return result;
  }
  Fd errRead(errPipe[0]), errWrite(errPipe[1]);

  pid_t pid = -1;
  int rc = Spawn(argv, options.env, inChild.Get(), outWrite.Get(), errWrite.Get(), &pid);
  inChild.Reset();
  outWrite.Reset();
  errWrite.Reset();
  if (rc != 0) {
    result.spawnError = rc;
    return result;
  }
  result.started = true;
  Fd pidfd(OpenPidfd(pid));
  SetNonBlocking(inParent.Get());
  SetNonBlocking(outRead.Get());
  SetNonBlocking(errRead.Get());

  std::size_t written = 0;
  if (options.input.empty()) inParent.Reset();
  const auto deadline = Clock::now() + options.timeout;
  bool exited = false;
  char buffer[8192];

  auto readFrom = [&](Fd& fd, std::string& to) {
    for (;;) {
      ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
      if (n > 0) {
        Append(to, buffer, static_cast<std::size_t>(n), options.maxOutput, result.truncated);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) return;
      fd.Reset();  // end of stream or error
      return;
    }
  };

  while (outRead.Get() >= 0 || errRead.Get() >= 0 || !exited) {
    auto now = Clock::now();
    if (now >= deadline) {
      result.timedOut = true;
      break;
    }
    int wait = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1);
    pollfd fds[4];
    int n = 0;
    int outIx = -1, errIx = -1, inIx = -1, pidIx = -1;
    if (outRead.Get() >= 0) fds[outIx = n++] = {outRead.Get(), POLLIN, 0};
    if (errRead.Get() >= 0) fds[errIx = n++] = {errRead.Get(), POLLIN, 0};
    if (inParent.Get() >= 0) fds[inIx = n++] = {inParent.Get(), POLLOUT, 0};
    if (!exited && pidfd.Get() >= 0) fds[pidIx = n++] = {pidfd.Get(), POLLIN, 0};
    if (!exited && pidfd.Get() < 0) wait = std::min(wait, 20);
    int ready = ::poll(fds, static_cast<nfds_t>(n), wait);
    if (ready < 0 && errno != EINTR) {
      result.timedOut = true;  // cannot wait for it any longer: stop it like a hung child
      break;
    }
    if (outIx >= 0 && fds[outIx].revents) readFrom(outRead, result.out);
    if (errIx >= 0 && fds[errIx].revents) readFrom(errRead, result.err);
    if (inIx >= 0 && fds[inIx].revents) {
      if (fds[inIx].revents & (POLLERR | POLLHUP)) {
        inParent.Reset();
      } else {
        ssize_t w = WriteQuietly(inParent.Get(), options.input.data() + written,
                                 options.input.size() - written);
        if (w > 0) written += static_cast<std::size_t>(w);
        if ((w < 0 && errno != EAGAIN && errno != EINTR) || written >= options.input.size())
          inParent.Reset();
      }
    }
    if (!exited) {
      bool reapable = pidIx >= 0 ? fds[pidIx].revents != 0 : WaitReapable(pid, -1, 0);
      if (reapable) {
        exited = true;
        // What the child wrote before it ended is in the pipes; a descendant that keeps them
        // open must not hold us, so read what is there and stop.
        if (outRead.Get() >= 0) readFrom(outRead, result.out);
        if (errRead.Get() >= 0) readFrom(errRead, result.err);
        outRead.Reset();
        errRead.Reset();
      }
    }
  }

  if (result.timedOut && !exited) Terminate(pid, pidfd.Get(), options.grace);
  int status = ReapBlocking(pid);
  if (result.timedOut) ::kill(-pid, SIGKILL);  // descendants left in its group
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv,
                                                  const Options& options, int* error) {
  auto fail = [&](int code) -> std::unique_ptr<ChildProcess> {
    if (error) *error = code;
    return nullptr;
  };
  Fd inParent, inChild;
  if (options.pipeInput) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) return fail(errno);
    inChild = Fd(p[0]);
    inParent = Fd(p[1]);
  } else {
    inChild = Fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (inChild.Get() < 0) return fail(errno);
  }
  Fd outRead, outWrite;
  if (options.captureOutput) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) return fail(errno);
    outRead = Fd(p[0]);
    outWrite = Fd(p[1]);
  } else {
    outWrite = Fd(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (outWrite.Get() < 0) return fail(errno);
  }
  pid_t pid = -1;
  int rc = Spawn(argv, options.env, inChild.Get(), outWrite.Get(), outWrite.Get(), &pid);
  if (rc != 0) return fail(rc);
  std::unique_ptr<ChildProcess> child(new ChildProcess);
  child->pid_ = pid;
  child->pidfd_ = OpenPidfd(pid);
  if (inParent.Get() >= 0) SetNonBlocking(inParent.Get());
  child->input_ = inParent.Release();
  if (outRead.Get() >= 0) SetNonBlocking(outRead.Get());
  child->output_fd_ = outRead.Release();
  return child;
}

ChildProcess::~ChildProcess() {
  Stop();
  if (input_ >= 0) ::close(input_);
  if (output_fd_ >= 0) ::close(output_fd_);
  if (pidfd_ >= 0) ::close(pidfd_);
}

bool ChildProcess::Write(std::string_view text) {
  // A child that stops reading must not block its owner for long.
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (!text.empty()) {
    if (input_ < 0) return false;
    ssize_t n = WriteQuietly(input_, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN || Clock::now() >= deadline) return false;
      pollfd p{input_, POLLOUT, 0};
      ::poll(&p, 1, 50);
      continue;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::size_t ChildProcess::UnreadInput() const {
  int n = 0;
  if (input_ < 0 || ::ioctl(input_, FIONREAD, &n) != 0 || n < 0) return 0;
  return static_cast<std::size_t>(n);
}

void ChildProcess::CloseInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

void ChildProcess::Drain(int waitMs) {
  if (output_fd_ < 0) {
    if (waitMs > 0) ::usleep(static_cast<useconds_t>(waitMs) * 1000);
    return;
  }
  pollfd p{output_fd_, POLLIN, 0};
  if (::poll(&p, 1, waitMs) <= 0) return;
  char buffer[8192];
  for (;;) {
    ssize_t n = ::read(output_fd_, buffer, sizeof buffer);
    if (n > 0) {
      output_.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    ::close(output_fd_);
    output_fd_ = -1;
    return;
  }
}

std::size_t ChildProcess::WaitForOutput(std::string_view needle, std::size_t from,
                                        std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (from <= output_.size()) {
      auto at = output_.find(needle, from);
      if (at != std::string::npos) return at + needle.size();
    }
    auto now = Clock::now();
    if (now >= deadline || output_fd_ < 0) return std::string::npos;
    Drain(static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1));
  }
}

bool ChildProcess::Reap(bool block) {
  if (reaped_) return true;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_ || (r < 0 && errno == ECHILD)) {
    reaped_ = true;
    status_ = r == pid_ ? status : -1;
  }
  return reaped_;
}

bool ChildProcess::Running() {
  return !Reap(false);
}

bool ChildProcess::WaitExit(std::chrono::milliseconds timeout) {
  if (reaped_) return true;
  if (WaitReapable(pid_, pidfd_, static_cast<int>(timeout.count()))) return Reap(true);
  return Reap(false);
}

int ChildProcess::Stop(std::chrono::milliseconds grace) {
  if (!reaped_ && Running()) {
    CloseInput();
    Terminate(pid_, pidfd_, grace);
    Reap(true);
  }
  if (output_fd_ >= 0) Drain(0);
  return status_;
}

}  // namespace linuxsys
