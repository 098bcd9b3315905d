// Reestr on arbitrary file pairs: reads, counts, writes and a whole-tree walk.
// Input: byte 0 picks the writes, bytes 1-2 (little-endian) give the index file's length, the
// index file's bytes follow and the rest is the data file.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>

#include "platform/win32/strings.h"
#include "settingsdb/Reestr.h"
#include "settingsdb/ReestrDump.h"

namespace {

struct Files {
  std::string dir;
  std::string dataPath, indexPath;
  std::u16string data, index;

  // libFuzzer ends without running destructors, so each run removes the folders of runs
  // whose process is gone and names its own by its process id.
  Files() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    const std::string prefix = "reestr-fuzz-";
    for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) != 0) continue;
      const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
      if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        std::filesystem::remove_all(entry.path(), error);
      }
    }
    dir = (base / (prefix + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(dir, error);
    if (error) std::abort();
    dataPath = dir + "/orvRB.b";
    indexPath = dir + "/orvRB.r";
    data = win32::Utf16FromUtf8(dataPath);
    index = win32::Utf16FromUtf8(indexPath);
  }
  ~Files() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

Files& Scratch() {
  static Files files;
  return files;
}

void Put(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  while (size > 0) {
    ssize_t n = ::write(fd, bytes, size);
    if (n <= 0) std::abort();
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

template <class Op>
void Try(Op&& op) {
  try {
    op();
  } catch (Reestr::ErrorCode) {
  }
}

const char16_t* const kFolders[] = {u"./", u"./orvKestrow/", u"./orvKestrow/Settings/",
                                    u"./orvKestrow/Settings/frmMain/"};
constexpr char16_t kSettings[] = u"./orvKestrow/Settings/";
constexpr char16_t kMain[] = u"./orvKestrow/Settings/frmMain/";

void ReadEverything(Reestr& db) {
  // Exactly the sizes the callers pass, so a write past them is a sanitizer report.
  auto value = std::make_unique<std::uint8_t[]>(4);
  auto name = std::make_unique<char16_t[]>(128);
  std::int32_t length, type;
  for (const char16_t* folder : kFolders) {
    Try([&] { db.CountEntries(folder); });
    for (int i = 1; i <= 3; ++i) {
      Try([&] { db.ReadValue(folder, name.get(), value.get(), 4, &length, &type, i); });
    }
    Try([&] { db.ReadValue(folder, u"Height", value.get(), 4, &length, &type, 0); });
    Try([&] { db.ReadValue(folder, u"Settings", value.get(), 4, &length, &type, 0); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
  if (size < 3) return 0;
  const unsigned writes = input[0];
  const std::size_t indexSize = std::min<std::size_t>(input[1] | (input[2] << 8), size - 3);
  Files& files = Scratch();
  Put(files.indexPath, input + 3, indexSize);
  Put(files.dataPath, input + 3 + indexSize, size - 3 - indexSize);
  try {
    Reestr db(files.data.c_str(), files.index.c_str(), 1);
    ReadEverything(db);
    const std::uint8_t one = 1;
    const std::int32_t four = 600;
    static const std::uint8_t wide[600] = {};
    if (writes & 1) Try([&] { db.WriteValue(kSettings, u"frmMain", &one, 1, Reestr::Folder, 0); });
    if (writes & 2) Try([&] { db.WriteValue(kMain, u"Height", &four, 4, Reestr::Binary, 0); });
    if (writes & 4) Try([&] { db.WriteValue(kMain, u"Width", &four, 4, Reestr::Binary, 0); });
    if (writes & 8)
      Try([&] { db.WriteValue(u"./", u"orvKestrow", nullptr, 0, Reestr::Folder, 0); });
    if (writes & 16) Try([&] { db.WriteValue(u"./", u"Other", &one, 1, Reestr::Folder, 0); });
    if (writes & 32) Try([&] { db.WriteValue(kSettings, u"Wide", wide, 600, Reestr::Binary, 0); });
    if (writes & 64) Try([&] { db.WriteValue(u"./orvKestrow/", u"Settings", nullptr, 0, 0, 0); });
    if (writes) ReadEverything(db);
    std::ostringstream sink;
    PrintReestr(db, sink);
  } catch (Reestr::ErrorCode) {
  }
  return 0;
}
