#include "lang/DictionaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lang {

namespace {

// Dictionaries are small; a file past this is read only up to it.
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

}  // namespace

void SplitDictionaryText(std::string_view bytes, size_t longestLine,
                         const std::function<void(std::string_view)>& onLine) {
  if (auto eof = bytes.find('\x1a'); eof != std::string_view::npos) bytes = bytes.substr(0, eof);
  while (!bytes.empty()) {
    size_t lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    bytes = lf == std::string_view::npos ? std::string_view() : bytes.substr(lf + 1);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > longestLine) return;
    if (auto nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
    onLine(line);
  }
}

void ReadDictionaryLines(const std::string& path, size_t longestLine,
                         const std::function<void(std::string_view)>& onLine) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  std::string bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    char chunk[65536];
    ssize_t n;
    while (bytes.size() < kMaxFileBytes && (n = ::read(fd, chunk, sizeof chunk)) > 0)
      bytes.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  if (bytes.size() > kMaxFileBytes) bytes.resize(kMaxFileBytes);
  SplitDictionaryText(bytes, longestLine, onLine);
}

}  // namespace lang
