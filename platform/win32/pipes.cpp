#include "platform/win32/pipes.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/linux/ascii.h"
#include "platform/linux/unix_socket.h"
#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/winerror.h"

using linuxsys::Deadline;
using linuxsys::UnixSocket;

namespace win32 {

namespace {

constexpr DWORD kOverlappedFlag = 0x40000000;
constexpr const char* kFolderVariable = "WIN32_PIPE_DIR";
constexpr const char* kRunFolder = "/run/win32-pipes";
constexpr const char* kTmpFolder = "/tmp/.win32-pipes";

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

// Splits "\\SERVER\pipe\LEAF"; the leaf may itself hold backslashes.
bool SplitPipeName(std::u16string_view name, std::u16string_view& server,
                   std::u16string_view& leaf) {
  if (name.size() < 2 || name[0] != u'\\' || name[1] != u'\\') return false;
  name.remove_prefix(2);
  auto slash = name.find(u'\\');
  if (slash == std::u16string_view::npos || slash == 0) return false;
  server = name.substr(0, slash);
  name.remove_prefix(slash + 1);
  constexpr std::u16string_view kPipe = u"pipe\\";
  if (name.size() <= kPipe.size() || !EqualsNoCase(name.substr(0, kPipe.size()), kPipe)) {
    return false;
  }
  leaf = name.substr(kPipe.size());
  return true;
}

// Letters (folded to lower case), digits, '-', '_' and '@' stay; every other byte of the UTF-8
// form is written %XX. So no file name can be "..", hold a '/' or end in ".lock".
std::string EncodeLeaf(std::u16string_view leaf) {
  std::u16string folded(leaf);
  for (auto& c : folded) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return linuxsys::PercentEncode(Utf8FromUtf16(folded), [](unsigned char c, bool) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '@';
  });
}

std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

// A folder others can write to must have the sticky bit, and belong to root or to us, so that
// nobody else can remove or replace our sockets.
DWORD CheckFolder(const std::string& folder) {
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) return ErrorFromErrno(errno);
  if (!S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
  if (st.st_uid != 0 && st.st_uid != ::geteuid()) return ERROR_ACCESS_DENIED;
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

DWORD PrepareFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) == 0) {
    // Like /tmp: everyone may create pipes, only the owner may remove them.
    if (::chmod(folder.c_str(), 01777) != 0) return ErrorFromErrno(errno);
  } else if (errno != EEXIST) {
    return ErrorFromErrno(errno);
  }
  return CheckFolder(folder);
}

DWORD ServerFolder(std::string& folder) {
  DWORD error = ERROR_PATH_NOT_FOUND;
  for (const auto& candidate : PipeFolders()) {
    error = PrepareFolder(candidate);
    if (error == ERROR_SUCCESS) {
      folder = candidate;
      return error;
    }
  }
  return error;
}

DWORD LocalLeaf(LPCWSTR name, std::u16string_view& leaf, DWORD notLocal) {
  if (!name) return ERROR_INVALID_PARAMETER;
  std::u16string_view server;
  if (!SplitPipeName(name, server, leaf)) return ERROR_INVALID_NAME;
  if (server != u".") return notLocal;
  return ERROR_SUCCESS;
}

DWORD SocketPathForLeaf(std::u16string_view leaf, const std::string& folder, std::string& path) {
  constexpr std::size_t kLimit = sizeof(sockaddr_un{}.sun_path) - 1;
  std::string encoded = EncodeLeaf(leaf);
  path = folder + "/" + encoded;
  if (path.size() <= kLimit) return ERROR_SUCCESS;
  // Too long for a socket address: a hash of the name ('#' is never produced by the encoding).
  char hashed[24];
  std::snprintf(hashed, sizeof hashed, "#%016llx", static_cast<unsigned long long>(Fnv1a(encoded)));
  path = folder + "/" + hashed;
  return path.size() <= kLimit ? ERROR_SUCCESS : ERROR_FILENAME_EXCED_RANGE;
}

bool PeerGone(int fd) {
  pollfd p{fd, POLLRDHUP, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

// A message must fit the sender's buffer; make room once for an unusually long one.
bool GrowSendBuffer(int fd, DWORD size) {
  int wanted = static_cast<int>(std::min<std::uint64_t>(std::uint64_t{size} + 65536, 1 << 30));
  return ::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &wanted, sizeof wanted) == 0 ||
         ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted) == 0;
}

// Sends one message; waits for room until the deadline or until wakeFd fires.
DWORD SendPacket(int fd, const void* data, DWORD size, const Deadline& deadline, int wakeFd,
                 DWORD* sent) {
  bool grown = false;
  for (;;) {
    ssize_t n = ::send(fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0) {
      *sent = static_cast<DWORD>(n);
      return ERROR_SUCCESS;
    }
    switch (errno) {
      case EINTR:
        continue;
      case EPIPE:
      case ECONNRESET:
      case ENOTCONN:
        return ERROR_NO_DATA;
      case EMSGSIZE:
        if (grown || !GrowSendBuffer(fd, size)) return ERROR_NO_SYSTEM_RESOURCES;
        grown = true;
        continue;
      case EAGAIN:
        break;
      default:
        return ErrorFromErrno(errno);
    }
    int r = linuxsys::UnixSocketWait(fd, POLLOUT, deadline, wakeFd);
    if (r == -2) return ERROR_OPERATION_ABORTED;
    if (r == 0) return ERROR_SEM_TIMEOUT;
    if (r < 0) return ErrorFromErrno(errno);
  }
}

// The process's listening socket of one pipe name, shared by its instances. Holding an exclusive
// flock on NAME.lock is owning the name; the kernel drops it when the process dies, so a socket
// found without a lock holder is a leftover and may be replaced.
struct PipeListener {
  PipeListener(std::string socketPath, UnixSocket lockFile, UnixSocket listening, DWORD max)
      : path(std::move(socketPath)),
        lock(std::move(lockFile)),
        socket(std::move(listening)),
        maxInstances(max),
        owner(::geteuid()) {}
  ~PipeListener() {
    ::unlink(path.c_str());
    ::unlink((path + ".lock").c_str());
  }

  std::string path;
  UnixSocket lock;
  UnixSocket socket;  // non-blocking
  DWORD maxInstances;
  uid_t owner;
  DWORD instances = 0;  // guarded by the registry's lock
};

struct Registry {
  std::mutex lock;
  std::map<std::string, std::weak_ptr<PipeListener>> listeners;
};

Registry& Pipes() {
  static Registry* registry = new Registry;  // outlives static destructors of callers
  return *registry;
}

// A reference that is dropped under the registry's lock, as PipeServer::Shutdown drops its own.
struct ListenerHold {
  ~ListenerHold() {
    std::lock_guard guard(Pipes().lock);
    ptr.reset();
  }
  std::shared_ptr<PipeListener> ptr;
};

DWORD OpenListener(const std::string& path, DWORD maxInstances, bool firstInstance,
                   std::shared_ptr<PipeListener>& out) {
  const std::string lockPath = path + ".lock";
  UnixSocket lock;
  for (int attempt = 0;; ++attempt) {
    lock.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock) return errno == ELOOP ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno);
    if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK) return ErrorFromErrno(errno);
      return firstInstance ? ERROR_ACCESS_DENIED : ERROR_PIPE_BUSY;
    }
    // The file may have been removed by its previous owner between our open and our lock.
    struct stat held, named;
    if (::fstat(lock.Get(), &held) == 0 && ::stat(lockPath.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      break;
    }
    if (attempt == 3) return ERROR_PIPE_BUSY;
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    DWORD error = ErrorFromErrno(errno);
    ::unlink(lockPath.c_str());
    return error;
  }
  UnixSocket listening;
  int error = linuxsys::UnixSocketListen(path, SOCK_SEQPACKET, 0600, kPipeQueueLength, listening);
  if (error != 0) {
    ::unlink(lockPath.c_str());
    return error == ENAMETOOLONG ? ERROR_FILENAME_EXCED_RANGE : ErrorFromErrno(error);
  }
  out = std::make_shared<PipeListener>(path, std::move(lock), std::move(listening), maxInstances);
  return ERROR_SUCCESS;
}

// One server instance of a pipe.
class PipeServer : public KernelObject {
 public:
  PipeServer(std::shared_ptr<PipeListener> listener, DWORD openMode, UnixSocket wake)
      : listener_(std::move(listener)), openMode_(openMode), wake_(std::move(wake)) {}
  ~PipeServer() override { Shutdown(); }

  BOOL Connect();
  BOOL Disconnect();
  BOOL Read(void* buffer, DWORD size, DWORD* read) override;
  BOOL Write(const void* buffer, DWORD size, DWORD* written) override;
  BOOL Flush() override;
  void Closed() override { Shutdown(); }

 private:
  struct Connection {
    explicit Connection(UnixSocket s) : socket(std::move(s)) {}
    UnixSocket socket;
    std::mutex readLock;
    std::vector<char> rest;  // the unread tail of a message longer than a read
    std::size_t restOffset = 0;
  };

  // The connected client, or nullptr with the last error set.
  std::shared_ptr<Connection> Client();
  void Shutdown();

  std::mutex connectLock_;  // one wait for a client at a time
  std::mutex lock_;
  std::shared_ptr<PipeListener> listener_;
  std::shared_ptr<Connection> client_;
  bool closed_ = false;
  const DWORD openMode_;
  UnixSocket wake_;  // an eventfd, readable once the handle is closed
};

void PipeServer::Shutdown() {
  std::shared_ptr<PipeListener> listener;
  std::shared_ptr<Connection> client;
  {
    std::lock_guard guard(lock_);
    if (closed_) return;
    closed_ = true;
    listener = std::move(listener_);
    client = std::move(client_);
  }
  if (client) ::shutdown(client->socket.Get(), SHUT_RDWR);
  std::uint64_t one = 1;
  [[maybe_unused]] auto ignored = ::write(wake_.Get(), &one, sizeof one);
  if (listener) {
    // Released under the registry's lock: CreateNamedPipeW never finds the name half gone.
    std::lock_guard guard(Pipes().lock);
    --listener->instances;
    listener.reset();
  }
}

std::shared_ptr<PipeServer::Connection> PipeServer::Client() {
  std::lock_guard guard(lock_);
  if (closed_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!client_) SetLastError(ERROR_PIPE_LISTENING);
  return client_;
}

BOOL PipeServer::Connect() {
  std::lock_guard serial(connectLock_);
  ListenerHold hold;
  {
    std::lock_guard guard(lock_);
    if (closed_) return FailWith(ERROR_INVALID_HANDLE);
    if (client_) return FailWith(ERROR_PIPE_CONNECTED);
    hold.ptr = listener_;
  }
  PipeListener* listener = hold.ptr.get();
  bool waited = false;
  for (;;) {
    UnixSocket accepted(::accept4(listener->socket.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (accepted) {
      auto peer = linuxsys::UnixSocketPeer(accepted.Get());
      if (!peer || (peer->uid != listener->owner && peer->uid != 0)) continue;  // refused
      {
        std::lock_guard guard(lock_);
        if (closed_) return FailWith(ERROR_OPERATION_ABORTED);
        client_ = std::make_shared<Connection>(std::move(accepted));
      }
      return waited ? TRUE : FailWith(ERROR_PIPE_CONNECTED);
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return FailWithErrno();
    int r = linuxsys::UnixSocketWait(listener->socket.Get(), POLLIN, std::nullopt, wake_.Get());
    if (r == -2) return FailWith(ERROR_OPERATION_ABORTED);
    if (r < 0) return FailWithErrno();
    waited = true;
  }
}

BOOL PipeServer::Disconnect() {
  std::shared_ptr<Connection> client;
  {
    std::lock_guard guard(lock_);
    if (closed_) return FailWith(ERROR_INVALID_HANDLE);
    client = std::move(client_);
  }
  // Wakes any thread still reading or writing it; the descriptor goes with the last user.
  if (client) ::shutdown(client->socket.Get(), SHUT_RDWR);
  return TRUE;
}

BOOL PipeServer::Read(void* buffer, DWORD size, DWORD* read) {
  if (!(openMode_ & PIPE_ACCESS_INBOUND)) return FailWith(ERROR_ACCESS_DENIED);
  if (size && !buffer) return FailWith(ERROR_INVALID_PARAMETER);
  auto client = Client();
  if (!client) return FALSE;
  std::lock_guard guard(client->readLock);
  auto deliverRest = [&]() {
    std::size_t left = client->rest.size() - client->restOffset;
    std::size_t n = std::min<std::size_t>(left, size);
    if (n) std::memcpy(buffer, client->rest.data() + client->restOffset, n);
    *read = static_cast<DWORD>(n);
    client->restOffset += n;
    if (client->restOffset < client->rest.size()) return FailWith(ERROR_MORE_DATA);
    client->rest.clear();
    client->restOffset = 0;
    return TRUE;
  };
  if (!client->rest.empty()) return deliverRest();

  const int fd = client->socket.Get();
  for (;;) {
    ssize_t length = ::recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (length > 0) {
      if (static_cast<std::size_t>(length) <= size) {
        ssize_t n = ::recv(fd, buffer, size, MSG_DONTWAIT);
        if (n < 0) return FailWithErrno();
        *read = static_cast<DWORD>(n);
        return TRUE;
      }
      client->rest.resize(static_cast<std::size_t>(length));
      ssize_t n = ::recv(fd, client->rest.data(), client->rest.size(), MSG_DONTWAIT);
      if (n < 0) {
        client->rest.clear();
        return FailWithErrno();
      }
      client->rest.resize(static_cast<std::size_t>(n));
      return deliverRest();
    }
    if (length == 0) {
      // An empty message and the end of the connection read alike; the peer's state tells.
      if (PeerGone(fd)) return FailWith(ERROR_BROKEN_PIPE);
      ::recv(fd, nullptr, 0, MSG_DONTWAIT);
      return TRUE;
    }
    if (errno == EINTR) continue;
    if (errno == ECONNRESET) return FailWith(ERROR_BROKEN_PIPE);
    if (errno != EAGAIN) return FailWithErrno();
    int r = linuxsys::UnixSocketWait(fd, POLLIN, std::nullopt, wake_.Get());
    if (r == -2) return FailWith(ERROR_OPERATION_ABORTED);
    if (r < 0) return FailWithErrno();
  }
}

BOOL PipeServer::Write(const void* buffer, DWORD size, DWORD* written) {
  if (!(openMode_ & PIPE_ACCESS_OUTBOUND)) return FailWith(ERROR_ACCESS_DENIED);
  if (size && !buffer) return FailWith(ERROR_INVALID_PARAMETER);
  auto client = Client();
  if (!client) return FALSE;
  DWORD error = SendPacket(client->socket.Get(), buffer, size, std::nullopt, wake_.Get(), written);
  return error == ERROR_SUCCESS ? TRUE : FailWith(error);
}

BOOL PipeServer::Flush() {
  auto client = Client();
  if (!client) return FALSE;
  // The kernel offers no wake-up for "the peer has read everything", so look again after a
  // short sleep, growing to 8 ms; a peer that goes away frees what it had not read.
  auto pause = std::chrono::microseconds(100);
  for (;;) {
    auto unread = linuxsys::UnixSocketUnreadOutput(client->socket.Get());
    if (!unread) return FailWithErrno();
    if (*unread == 0) return TRUE;
    Deadline until = std::chrono::steady_clock::now() + pause;
    int r = linuxsys::UnixSocketWait(wake_.Get(), POLLIN, until);
    if (r > 0) return FailWith(ERROR_OPERATION_ABORTED);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(8));
  }
}

}  // namespace

std::vector<std::string> PipeFolders() {
  const char* chosen = std::getenv(kFolderVariable);
  if (chosen && *chosen) return {chosen};
  return {kRunFolder, kTmpFolder};
}

DWORD PipeSocketPath(std::u16string_view name, const std::string& folder, std::string& path) {
  std::u16string_view server, leaf;
  if (!SplitPipeName(name, server, leaf)) return ERROR_INVALID_NAME;
  if (server != u".") return ERROR_BAD_NETPATH;
  return SocketPathForLeaf(leaf, folder, path);
}

}  // namespace win32

using win32::FailWith;

HANDLE CreateNamedPipeW(LPCWSTR name, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                        DWORD /*outBufferSize*/, DWORD /*inBufferSize*/, DWORD /*defaultTimeOut*/,
                        LPSECURITY_ATTRIBUTES /*attributes*/) {
  auto fail = [](DWORD code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
  };
  if ((openMode & PIPE_ACCESS_DUPLEX) == 0 || maxInstances == 0 ||
      maxInstances > PIPE_UNLIMITED_INSTANCES) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  if (!(pipeMode & PIPE_TYPE_MESSAGE) && (pipeMode & PIPE_READMODE_MESSAGE)) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  if ((openMode & win32::kOverlappedFlag) || !(pipeMode & PIPE_TYPE_MESSAGE) ||
      !(pipeMode & PIPE_READMODE_MESSAGE) || (pipeMode & PIPE_NOWAIT)) {
    return fail(ERROR_NOT_SUPPORTED);
  }
  std::u16string_view leaf;
  if (DWORD error = win32::LocalLeaf(name, leaf, ERROR_INVALID_NAME)) return fail(error);
  std::string folder, path;
  if (DWORD error = win32::ServerFolder(folder)) return fail(error);
  if (DWORD error = win32::SocketPathForLeaf(leaf, folder, path)) return fail(error);

  linuxsys::UnixSocket wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake) return fail(win32::ErrorFromErrno(errno));

  const bool first = (openMode & FILE_FLAG_FIRST_PIPE_INSTANCE) != 0;
  std::shared_ptr<win32::PipeListener> listener;
  {
    auto& registry = win32::Pipes();
    std::lock_guard guard(registry.lock);
    auto& slot = registry.listeners[path];
    listener = slot.lock();
    if (listener) {
      DWORD refusal = ERROR_SUCCESS;
      if (first || listener->maxInstances != maxInstances) {
        refusal = ERROR_ACCESS_DENIED;
      } else if (listener->instances >= listener->maxInstances) {
        refusal = ERROR_PIPE_BUSY;
      }
      if (refusal != ERROR_SUCCESS) {
        listener.reset();  // under the lock, like every other release
        return fail(refusal);
      }
    } else {
      DWORD error = win32::OpenListener(path, maxInstances, first, listener);
      if (error != ERROR_SUCCESS) {
        registry.listeners.erase(path);
        return fail(error);
      }
      slot = listener;
    }
    ++listener->instances;
  }
  return win32::InsertHandle(std::make_shared<win32::PipeServer>(
      std::move(listener), openMode & PIPE_ACCESS_DUPLEX, std::move(wake)));
}

HANDLE CreateNamedPipeA(LPCSTR name, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                        DWORD outBufferSize, DWORD inBufferSize, DWORD defaultTimeOut,
                        LPSECURITY_ATTRIBUTES attributes) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string wide;
  if (!win32::AnsiToUtf16(name, wide)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  return CreateNamedPipeW(wide.c_str(), openMode, pipeMode, maxInstances, outBufferSize,
                          inBufferSize, defaultTimeOut, attributes);
}

BOOL ConnectNamedPipe(HANDLE pipe, LPOVERLAPPED /*overlapped: handles are never overlapped*/) {
  auto server = win32::LookupHandleAs<win32::PipeServer>(pipe);
  if (!server) return FailWith(ERROR_INVALID_HANDLE);
  return server->Connect();
}

BOOL DisconnectNamedPipe(HANDLE pipe) {
  auto server = win32::LookupHandleAs<win32::PipeServer>(pipe);
  if (!server) return FailWith(ERROR_INVALID_HANDLE);
  return server->Disconnect();
}

BOOL CallNamedPipeW(LPCWSTR name, LPVOID inBuffer, DWORD inBufferSize, LPVOID outBuffer,
                    DWORD outBufferSize, LPDWORD bytesRead, DWORD timeOut) {
  if (bytesRead) *bytesRead = 0;
  if ((inBufferSize && !inBuffer) || (outBufferSize && !outBuffer)) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  std::u16string_view leaf;
  if (DWORD error = win32::LocalLeaf(name, leaf, ERROR_BAD_NETPATH)) return FailWith(error);

  using Clock = std::chrono::steady_clock;
  Deadline deadline;
  if (timeOut == NMPWAIT_NOWAIT || timeOut == NMPWAIT_USE_DEFAULT_WAIT) {
    deadline = Clock::now() + std::chrono::milliseconds(win32::kPipeShortWaitMs);
  } else if (timeOut != NMPWAIT_WAIT_FOREVER) {
    deadline = Clock::now() + std::chrono::milliseconds(timeOut);
  }

  linuxsys::UnixSocket sock;
  DWORD error = ERROR_FILE_NOT_FOUND;
  for (const auto& folder : win32::PipeFolders()) {
    std::string path;
    if (win32::SocketPathForLeaf(leaf, folder, path) != ERROR_SUCCESS) continue;
    int e = linuxsys::UnixSocketConnect(path, SOCK_SEQPACKET, deadline, sock);
    if (e == 0) {
      error = ERROR_SUCCESS;
      break;
    }
    // Nothing there, or a socket whose server is gone: the pipe does not exist in this folder.
    if (e == ENOENT || e == ECONNREFUSED || e == ENOTDIR) continue;
    error = e == EAGAIN ? ERROR_PIPE_BUSY : win32::ErrorFromErrno(e);
    break;
  }
  if (error != ERROR_SUCCESS) return FailWith(error);

  // Tell nobody else what we send: the server must be our own user or root (root trusts all).
  auto server = linuxsys::UnixSocketPeer(sock.Get());
  uid_t self = ::geteuid();
  if (!server || (server->uid != self && server->uid != 0 && self != 0)) {
    return FailWith(ERROR_ACCESS_DENIED);
  }

  DWORD sent = 0;
  error = win32::SendPacket(sock.Get(), inBuffer, inBufferSize, deadline, -1, &sent);
  if (error == ERROR_NO_DATA) error = ERROR_BROKEN_PIPE;
  if (error != ERROR_SUCCESS) return FailWith(error);

  for (;;) {
    int r = linuxsys::UnixSocketWait(sock.Get(), POLLIN, deadline);
    if (r == 0) return FailWith(ERROR_SEM_TIMEOUT);
    if (r < 0) return win32::FailWithErrno();
    ssize_t n = ::recv(sock.Get(), outBuffer, outBufferSize, MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return FailWith(errno == ECONNRESET ? ERROR_BROKEN_PIPE : win32::ErrorFromErrno(errno));
    }
    if (n == 0 && win32::PeerGone(sock.Get())) return FailWith(ERROR_BROKEN_PIPE);
    if (static_cast<std::size_t>(n) > outBufferSize) {
      if (bytesRead) *bytesRead = outBufferSize;
      return FailWith(ERROR_MORE_DATA);
    }
    if (bytesRead) *bytesRead = static_cast<DWORD>(n);
    return TRUE;
  }
}
