#include "platform/win32/mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/linux/ascii.h"
#include "platform/win32/handles.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/strings.h"
#include "platform/win32/winerror.h"

namespace win32 {

namespace {

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
  UniqueFd& operator=(UniqueFd&&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Holding a handle is holding a shared flock on the name's file: the kernel drops it with the
// process. Existence is tested by trying an exclusive lock under a guard lock that serialises
// creators, so two starting processes can never both see the name as new.
class NamedMutex : public KernelObject {
 public:
  explicit NamedMutex(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;
};

// Letters, digits, '-', '_' and a '.' not in front stay; the rest is %XX.
std::string EncodeName(const std::string& name) {
  return linuxsys::PercentEncode(name, [](unsigned char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || (c == '.' && !first);
  });
}

}  // namespace

std::string SessionObjectFolder() {
  std::string base;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    base = std::string(runtime) + "/win32-objects";
  } else {
    base = "/tmp/win32-objects-" + std::to_string(getuid());
  }
  if (::mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  // Refuse a folder someone else made for us.
  if (::lstat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
  return base;
}

}  // namespace win32

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  using namespace win32;
  if (initialOwner) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (!name) {
    // An unnamed mutex is private to its handle.
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(std::make_shared<NamedMutex>(UniqueFd()));
  }
  const std::string folder = SessionObjectFolder();
  if (folder.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const std::string path = folder + "/mutex." + EncodeName(name);
  UniqueFd guard(::open((folder + "/.guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (guard.get() < 0 || fd.get() < 0) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  while (::flock(guard.get(), LOCK_EX) != 0 && errno == EINTR) {
  }
  bool existed = false;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) {
      SetLastError(ErrorFromErrno(errno));
      return nullptr;
    }
    existed = true;
  }
  // Down to a shared hold; no creator can slip in between since they all wait on the guard.
  if (::flock(fd.get(), LOCK_SH) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  ::flock(guard.get(), LOCK_UN);
  HANDLE h = InsertHandle(std::make_shared<NamedMutex>(std::move(fd)));
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) {
  if (!name) return CreateMutexA(attributes, initialOwner, nullptr);
  std::string ansi;
  if (!win32::Utf16ToAnsi(std::u16string_view(name), ansi)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return CreateMutexA(attributes, initialOwner, ansi.c_str());
}
