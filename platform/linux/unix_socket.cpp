#include "platform/linux/unix_socket.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace linuxsys {

namespace {

bool MakeAddress(const std::string& path, sockaddr_un& address, socklen_t& length) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return true;
}

// A zero timeval means "forever" to the kernel, so a deadline that has passed still waits 1 ms.
timeval TimevalLeft(const Deadline& deadline) {
  timeval tv{};
  if (!deadline) return tv;
  auto left = std::chrono::duration_cast<std::chrono::microseconds>(
      *deadline - std::chrono::steady_clock::now());
  auto us = std::max<long long>(left.count(), 1000);
  tv.tv_sec = static_cast<time_t>(us / 1000000);
  tv.tv_usec = static_cast<suseconds_t>(us % 1000000);
  return tv;
}

}  // namespace

UnixSocket& UnixSocket::operator=(UnixSocket&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int UnixSocket::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

void UnixSocket::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

int UnixSocketConnect(const std::string& path, int type, const Deadline& deadline,
                      UnixSocket& out) {
  sockaddr_un address;
  socklen_t length = 0;
  if (!MakeAddress(path, address, length)) return ENAMETOOLONG;
  UnixSocket sock(::socket(AF_UNIX, type | SOCK_CLOEXEC, 0));
  if (!sock) return errno;
  // The kernel waits for room in a full listen queue up to the send time-out.
  timeval tv = TimevalLeft(deadline);
  if (::setsockopt(sock.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) return errno;
  for (;;) {
    if (::connect(sock.Get(), reinterpret_cast<sockaddr*>(&address), length) == 0) break;
    if (errno == EISCONN) break;
    if (errno != EINTR) return errno;
    if (deadline && std::chrono::steady_clock::now() >= *deadline) return EAGAIN;
    tv = TimevalLeft(deadline);
    ::setsockopt(sock.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  }
  timeval none{};
  ::setsockopt(sock.Get(), SOL_SOCKET, SO_SNDTIMEO, &none, sizeof none);
  out = std::move(sock);
  return 0;
}

int UnixSocketListen(const std::string& path, int type, mode_t mode, int queue, UnixSocket& out) {
  sockaddr_un address;
  socklen_t length = 0;
  if (!MakeAddress(path, address, length)) return ENAMETOOLONG;
  UnixSocket sock(::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!sock) return errno;
  if (::bind(sock.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0) return errno;
  // Nobody can connect before listen(), so the mode is right before the first client can come.
  if (::chmod(path.c_str(), mode) != 0 || ::listen(sock.Get(), queue) != 0) {
    int error = errno;
    ::unlink(path.c_str());
    return error;
  }
  out = std::move(sock);
  return 0;
}

std::optional<ucred> UnixSocketPeer(int fd) {
  ucred cred{};
  socklen_t size = sizeof cred;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0) return std::nullopt;
  return cred;
}

std::optional<int> UnixSocketUnreadOutput(int fd) {
  int queued = 0;
  if (::ioctl(fd, SIOCOUTQ, &queued) != 0) return std::nullopt;
  return queued;
}

int UnixSocketWait(int fd, short events, const Deadline& deadline, int wakeFd) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    // ppoll, not poll: waits shorter than a millisecond (the flush's first looks) stay short.
    timespec left{};
    if (deadline) {
      auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                    *deadline - std::chrono::steady_clock::now())
                    .count();
      if (ns < 0) ns = 0;
      left.tv_sec = static_cast<time_t>(ns / 1000000000);
      left.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    int n = ::ppoll(fds, wakeFd >= 0 ? 2 : 1, deadline ? &left : nullptr, nullptr);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) return 0;
    if (wakeFd >= 0 && fds[1].revents) return -2;
    return fds[0].revents;
  }
}

}  // namespace linuxsys
