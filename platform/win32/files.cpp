#include "platform/win32/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/winerror.h"

namespace win32 {

namespace {

// Share-mode bytes, far beyond any data a file of ours will hold (see files.h).
constexpr off_t kShareBase = std::numeric_limits<off_t>::max() - 8;
constexpr off_t kGateByte = kShareBase;
constexpr off_t kReadAccessByte = kShareBase + 1;
constexpr off_t kWriteAccessByte = kShareBase + 2;
constexpr off_t kDenyReadByte = kShareBase + 3;
constexpr off_t kDenyWriteByte = kShareBase + 4;
// LockFile ranges must end before the share-mode bytes.
constexpr std::uint64_t kLockLimit = static_cast<std::uint64_t>(kShareBase);

std::atomic<std::uint64_t> g_lockViolations{0};

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

int OfdLock(int fd, short type, off_t start, off_t length, bool wait) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = length;
  int result;
  do {
    result = ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl);
  } while (result == -1 && errno == EINTR);
  return result;
}

// 1 when another open file description holds a lock on the byte, 0 when none does, -1 on error.
int HeldByOther(int fd, off_t byte) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) == -1) return -1;
  return fl.l_type == F_UNLCK ? 0 : 1;
}

class FileObject final : public KernelObject {
 public:
  FileObject(Fd fd, bool canRead, bool canWrite, bool fdWritable)
      : fd_(std::move(fd)), canRead_(canRead), canWrite_(canWrite), fdWritable_(fdWritable) {}

  BOOL Read(void* buffer, DWORD size, DWORD* read) override {
    *read = 0;
    if (!canRead_) return FailWith(ERROR_ACCESS_DENIED);
    auto* out = static_cast<char*>(buffer);
    DWORD done = 0;
    while (done < size) {
      ssize_t n = ::read(fd_.get(), out + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        *read = done;
        return FailWithErrno();
      }
      if (n == 0) break;  // end of file: a short read succeeds, as on Windows
      done += static_cast<DWORD>(n);
    }
    *read = done;
    return TRUE;
  }

  BOOL Write(const void* buffer, DWORD size, DWORD* written) override {
    *written = 0;
    if (!canWrite_) return FailWith(ERROR_ACCESS_DENIED);
    const auto* in = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < size) {
      ssize_t n = ::write(fd_.get(), in + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        *written = done;
        return FailWithErrno();
      }
      done += static_cast<DWORD>(n);
    }
    *written = done;
    return TRUE;
  }

  BOOL Flush() override {
    if (!canWrite_) return FailWith(ERROR_ACCESS_DENIED);
    if (::fsync(fd_.get()) != 0) return FailWithErrno();
    return TRUE;
  }

  int fd() const { return fd_.get(); }
  bool canWrite() const { return canWrite_; }

  BOOL Lock(std::uint64_t offset, std::uint64_t length) {
    if (!fdWritable_) return FailWith(ERROR_ACCESS_DENIED);
    std::lock_guard guard(mutex_);
    for (const auto& held : locks_) {
      if (offset < held.offset + held.length && held.offset < offset + length) {
        ++g_lockViolations;
        return FailWith(ERROR_LOCK_VIOLATION);
      }
    }
    if (OfdLock(fd(), F_WRLCK, static_cast<off_t>(offset), static_cast<off_t>(length), false) !=
        0) {
      if (errno == EAGAIN || errno == EACCES) {
        ++g_lockViolations;
        return FailWith(ERROR_LOCK_VIOLATION);
      }
      return FailWithErrno();
    }
    locks_.push_back({offset, length});
    return TRUE;
  }

  BOOL Unlock(std::uint64_t offset, std::uint64_t length) {
    std::lock_guard guard(mutex_);
    for (auto it = locks_.begin(); it != locks_.end(); ++it) {
      if (it->offset == offset && it->length == length) {
        if (OfdLock(fd(), F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(length), false) !=
            0) {
          return FailWithErrno();
        }
        locks_.erase(it);
        return TRUE;
      }
    }
    return FailWith(ERROR_NOT_LOCKED);
  }

 private:
  struct Range {
    std::uint64_t offset;
    std::uint64_t length;
  };

  Fd fd_;
  const bool canRead_;
  const bool canWrite_;
  const bool fdWritable_;
  std::mutex mutex_;
  std::vector<Range> locks_;  // this handle's LockFile ranges; they never overlap
};

HANDLE Fail(DWORD code) {
  SetLastError(code);
  return INVALID_HANDLE_VALUE;
}

HANDLE FailErrno() {
  FailWithErrno();
  return INVALID_HANDLE_VALUE;
}

// ENOENT means a missing file, or a missing folder on the way to it.
DWORD NotFoundError(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
  struct stat st;
  if (::stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return ERROR_PATH_NOT_FOUND;
  }
  return ERROR_FILE_NOT_FOUND;
}

// Opens read-write whenever the file permits, so the description can carry both kinds of lock;
// the handle's own access rights are enforced by FileObject. Falls back to the access asked for.
int OpenDescription(const std::string& path, bool wantRead, bool wantWrite, int extra) {
  constexpr int kBase = O_CLOEXEC | O_NOCTTY;
  int fd = ::open(path.c_str(), O_RDWR | kBase | extra, 0666);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == ETXTBSY || errno == EPERM) &&
      !(wantRead && wantWrite)) {
    fd = ::open(path.c_str(), (wantWrite ? O_WRONLY : O_RDONLY) | kBase | extra, 0666);
  }
  return fd;
}

// Tests the request against the other handles of the file and records this one; the caller's
// description must not yet hold any share-mode lock.
DWORD ApplyShareMode(int fd, bool fdReadable, bool fdWritable, bool wantRead, bool wantWrite,
                     DWORD shareMode) {
  const bool shareRead = shareMode & FILE_SHARE_READ;
  const bool shareWrite = shareMode & FILE_SHARE_WRITE;
  // A read-only description cannot take the exclusive gate; its test and record are then not
  // atomic with a concurrent opener, which only narrows to the moment of the open.
  bool gate = false;
  if (fdWritable) {
    if (OfdLock(fd, F_WRLCK, kGateByte, 1, true) != 0) return ErrorFromErrno(errno);
    gate = true;
  }
  DWORD result = ERROR_SUCCESS;
  const struct {
    bool test;
    off_t byte;
  } conflicts[] = {
      {wantRead, kDenyReadByte},
      {wantWrite, kDenyWriteByte},
      {!shareRead, kReadAccessByte},
      {!shareWrite, kWriteAccessByte},
  };
  for (const auto& c : conflicts) {
    if (!c.test) continue;
    int held = HeldByOther(fd, c.byte);
    if (held < 0) {
      result = ErrorFromErrno(errno);
      break;
    }
    if (held) {
      result = ERROR_SHARING_VIOLATION;
      break;
    }
  }
  // A write-only description cannot take shared locks: such a handle is not recorded.
  if (result == ERROR_SUCCESS && fdReadable) {
    const struct {
      bool set;
      off_t byte;
    } records[] = {
        {wantRead, kReadAccessByte},
        {wantWrite, kWriteAccessByte},
        {!shareRead, kDenyReadByte},
        {!shareWrite, kDenyWriteByte},
    };
    for (const auto& r : records) {
      if (r.set && OfdLock(fd, F_RDLCK, r.byte, 1, false) != 0) {
        result = ErrorFromErrno(errno);
        break;
      }
    }
  }
  if (gate) OfdLock(fd, F_UNLCK, kGateByte, 1, false);
  return result;
}

}  // namespace

namespace testing {

std::uint64_t LockViolationCount() {
  return g_lockViolations.load();
}

}  // namespace testing

}  // namespace win32

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD, HANDLE) {
  using namespace win32;
  if (!fileName) return Fail(ERROR_INVALID_PARAMETER);
  std::string path;
  if (!Utf16ToUtf8(fileName, path)) return Fail(ERROR_INVALID_NAME);
  if (path.empty()) return Fail(ERROR_PATH_NOT_FOUND);

  const bool wantRead = desiredAccess & (GENERIC_READ | GENERIC_ALL);
  const bool wantWrite = desiredAccess & (GENERIC_WRITE | GENERIC_ALL);
  bool truncate = false;
  bool existed = false;
  Fd fd;
  switch (creationDisposition) {
    case CREATE_NEW:
      fd = Fd(OpenDescription(path, wantRead, wantWrite, O_CREAT | O_EXCL));
      if (!fd) return errno == ENOENT ? Fail(ERROR_PATH_NOT_FOUND) : FailErrno();
      break;
    case TRUNCATE_EXISTING:
      if (!wantWrite) return Fail(ERROR_INVALID_PARAMETER);
      truncate = true;
      [[fallthrough]];
    case OPEN_EXISTING:
      fd = Fd(OpenDescription(path, wantRead, wantWrite, 0));
      if (!fd) return errno == ENOENT ? Fail(NotFoundError(path)) : FailErrno();
      existed = true;
      break;
    case CREATE_ALWAYS:
      truncate = true;
      [[fallthrough]];
    case OPEN_ALWAYS:
      // Open, else create exclusively; a file made by someone else in between is opened.
      for (int attempt = 0; attempt < 16 && !fd; ++attempt) {
        fd = Fd(OpenDescription(path, wantRead, wantWrite, 0));
        if (fd) {
          existed = true;
          break;
        }
        if (errno != ENOENT) return FailErrno();
        fd = Fd(OpenDescription(path, wantRead, wantWrite, O_CREAT | O_EXCL));
        if (!fd && errno != EEXIST)
          return errno == ENOENT ? Fail(ERROR_PATH_NOT_FOUND) : FailErrno();
      }
      if (!fd) return Fail(ERROR_SHARING_VIOLATION);
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }

  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return FailErrno();
  if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0) return FailErrno();
  const int mode = flags & O_ACCMODE;
  const bool fdReadable = mode == O_RDONLY || mode == O_RDWR;
  const bool fdWritable = mode == O_WRONLY || mode == O_RDWR;

  DWORD shared = ApplyShareMode(fd.get(), fdReadable, fdWritable, wantRead, wantWrite, shareMode);
  if (shared != ERROR_SUCCESS) return Fail(shared);
  // Truncation waits until the share test has passed, so a refused opener changes nothing.
  if (truncate && existed) {
    if (!fdWritable) return Fail(ERROR_ACCESS_DENIED);
    if (::ftruncate(fd.get(), 0) != 0) return FailErrno();
  }

  HANDLE handle =
      InsertHandle(std::make_shared<FileObject>(std::move(fd), wantRead, wantWrite, fdWritable));
  const bool reportExisting =
      existed && (creationDisposition == OPEN_ALWAYS || creationDisposition == CREATE_ALWAYS);
  SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

namespace {

DWORD FailPointer(DWORD code) {
  SetLastError(code);
  return INVALID_SET_FILE_POINTER;
}

}  // namespace

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
  auto object = win32::LookupHandleAs<win32::FileObject>(file);
  if (!object) return FailPointer(ERROR_INVALID_HANDLE);
  std::int64_t move = distance;
  if (distanceHigh) {
    move = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
        static_cast<DWORD>(distance));
  }
  std::int64_t base = 0;
  switch (moveMethod) {
    case FILE_BEGIN:
      break;
    case FILE_CURRENT: {
      off_t here = ::lseek(object->fd(), 0, SEEK_CUR);
      if (here < 0) return FailPointer(win32::ErrorFromErrno(errno));
      base = here;
      break;
    }
    case FILE_END: {
      struct stat st;
      if (::fstat(object->fd(), &st) != 0) return FailPointer(win32::ErrorFromErrno(errno));
      base = st.st_size;
      break;
    }
    default:
      return FailPointer(ERROR_INVALID_PARAMETER);
  }
  std::int64_t target;
  if (__builtin_add_overflow(base, move, &target)) return FailPointer(ERROR_INVALID_PARAMETER);
  if (target < 0) return FailPointer(ERROR_NEGATIVE_SEEK);
  // Without the high part the position must be told apart from INVALID_SET_FILE_POINTER.
  if (!distanceHigh && target >= static_cast<std::int64_t>(INVALID_SET_FILE_POINTER)) {
    return FailPointer(ERROR_INVALID_PARAMETER);
  }
  if (::lseek(object->fd(), static_cast<off_t>(target), SEEK_SET) < 0) {
    return FailPointer(win32::ErrorFromErrno(errno));
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
  SetLastError(NO_ERROR);
  return static_cast<DWORD>(static_cast<std::uint64_t>(target) & 0xFFFFFFFFu);
}

BOOL SetEndOfFile(HANDLE file) {
  auto object = win32::LookupHandleAs<win32::FileObject>(file);
  if (!object) return win32::FailWith(ERROR_INVALID_HANDLE);
  if (!object->canWrite()) return win32::FailWith(ERROR_ACCESS_DENIED);
  off_t here = ::lseek(object->fd(), 0, SEEK_CUR);
  if (here < 0 || ::ftruncate(object->fd(), here) != 0) return win32::FailWithErrno();
  return TRUE;
}

namespace {

bool LockRange(DWORD offsetLow, DWORD offsetHigh, DWORD bytesLow, DWORD bytesHigh,
               std::uint64_t& offset, std::uint64_t& length) {
  offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
  length = (static_cast<std::uint64_t>(bytesHigh) << 32) | bytesLow;
  return length != 0 && offset < win32::kLockLimit && length <= win32::kLockLimit - offset;
}

}  // namespace

BOOL LockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD bytesLow, DWORD bytesHigh) {
  auto object = win32::LookupHandleAs<win32::FileObject>(file);
  if (!object) return win32::FailWith(ERROR_INVALID_HANDLE);
  std::uint64_t offset, length;
  if (!LockRange(offsetLow, offsetHigh, bytesLow, bytesHigh, offset, length)) {
    return win32::FailWith(ERROR_INVALID_PARAMETER);
  }
  return object->Lock(offset, length);
}

BOOL UnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD bytesLow, DWORD bytesHigh) {
  auto object = win32::LookupHandleAs<win32::FileObject>(file);
  if (!object) return win32::FailWith(ERROR_INVALID_HANDLE);
  std::uint64_t offset, length;
  if (!LockRange(offsetLow, offsetHigh, bytesLow, bytesHigh, offset, length)) {
    return win32::FailWith(ERROR_NOT_LOCKED);
  }
  return object->Unlock(offset, length);
}
