// Unix-domain sockets: an owning descriptor and the few calls built on it that need care
// (deadlines, peer credentials, the unread-output count).
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace linuxsys {

// Owns one file descriptor (a socket or any other); closed on destruction.
class UnixSocket {
 public:
  UnixSocket() = default;
  explicit UnixSocket(int fd) : fd_(fd) {}
  ~UnixSocket() { Reset(); }
  UnixSocket(UnixSocket&& other) noexcept : fd_(other.Release()) {}
  UnixSocket& operator=(UnixSocket&& other) noexcept;
  UnixSocket(const UnixSocket&) = delete;
  UnixSocket& operator=(const UnixSocket&) = delete;

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release();
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// Connects a new close-on-exec socket of the given type (SOCK_SEQPACKET, SOCK_STREAM) to path.
// A listener whose queue is full is waited for until the deadline (EAGAIN then). Returns 0 or
// the errno value; ENAMETOOLONG when the path does not fit a socket address.
int UnixSocketConnect(const std::string& path, int type, const Deadline& deadline, UnixSocket& out);

// Creates a close-on-exec, non-blocking socket bound to path (which must not exist), with the
// file mode given, listening with the given queue length. Returns 0 or the errno value.
int UnixSocketListen(const std::string& path, int type, mode_t mode, int queue, UnixSocket& out);

// The credentials of the process at the other end, as the kernel recorded them at connect or
// listen time.
std::optional<ucred> UnixSocketPeer(int fd);

// Bytes this socket has sent that the peer has not yet read (the peer's queue holds them).
std::optional<int> UnixSocketUnreadOutput(int fd);

// Waits until fd has one of the events or until the deadline. Returns the revents, 0 at the
// deadline, -1 when poll fails (errno set), and -2 as soon as wakeFd (when not -1) is readable.
int UnixSocketWait(int fd, short events, const Deadline& deadline, int wakeFd = -1);

}  // namespace linuxsys
