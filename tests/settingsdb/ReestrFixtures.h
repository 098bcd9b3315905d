// Byte fixtures laid out by hand from the record tables, and the scratch folders the tests use.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/strings.h"

#include "settingsdb/Reestr.h"

namespace fixture {

// 0 for success, else the Reestr::ErrorCode thrown.
inline int Outcome(const std::function<void()>& op) {
  try {
    op();
  } catch (Reestr::ErrorCode code) {
    return code;
  }
  return 0;
}

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::size_t at, std::int32_t v) {
  b[at] = static_cast<std::uint8_t>(v & 0xFF);
  b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

inline void Put32(Bytes& b, std::size_t at, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// One entry record: type at 0, attribute at 2, name at 4 (128 UTF-16LE units), prev at 260,
// next at 264, child at 268, reserved at 272, length at 276; 278 bytes.
struct Rec {
  std::int16_t type = 0;
  std::int16_t attribute = 0;
  std::u16string name;
  std::int32_t prev = -1;
  std::int32_t next = -1;
  std::int32_t child = -1;
  std::int32_t reserved = 0;
  std::int16_t length = 0;
};

inline Bytes RecordBytes(const Rec& r) {
  Bytes b(278, 0);
  Put16(b, 0, r.type);
  Put16(b, 2, r.attribute);
  for (std::size_t i = 0; i < r.name.size() && i < 128; ++i) Put16(b, 4 + 2 * i, r.name[i]);
  Put32(b, 260, r.prev);
  Put32(b, 264, r.next);
  Put32(b, 268, r.child);
  Put32(b, 272, r.reserved);
  Put16(b, 276, r.length);
  return b;
}

// A data-file slot: the record, then the 512-byte data area, zero beyond the value.
inline Bytes SlotBytes(const Rec& r, const Bytes& value = {}) {
  Bytes b = RecordBytes(r);
  Bytes area(512, 0);
  std::copy(value.begin(), value.end(), area.begin());
  b.insert(b.end(), area.begin(), area.end());
  return b;
}

// The index header: "RgB" and a NUL as UTF-16LE, count, data list, index list.
inline Bytes HeaderBytes(std::int32_t count, std::int32_t dataList = 0,
                         std::int32_t indexList = 0) {
  Bytes b = {0x52, 0x00, 0x67, 0x00, 0x42, 0x00, 0x00, 0x00};
  b.resize(20, 0);
  Put32(b, 8, count);
  Put32(b, 12, dataList);
  Put32(b, 16, indexList);
  return b;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline Bytes Le32(std::int32_t v) {
  Bytes b(4);
  Put32(b, 0, v);
  return b;
}

inline Bytes Offsets(std::initializer_list<std::int32_t> list) {
  Bytes b;
  for (auto v : list) {
    Bytes one = Le32(v);
    b.insert(b.end(), one.begin(), one.end());
  }
  return b;
}

// The delivered database: "./orvKestrow/" at index offset 20, "Settings" in data slot 0.
inline Bytes DeliveredIndex() {
  return Cat({HeaderBytes(1), RecordBytes({.name = u"orvKestrow", .child = 0})});
}
inline Bytes DeliveredData() {
  return SlotBytes({.name = u"Settings"});
}

inline Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A private folder holding one database pair, removed afterwards.
class Scratch {
 public:
  Scratch() {
    std::string base = std::filesystem::temp_directory_path() / "reestr-XXXXXX";
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) std::abort();
    dir_ = name.data();
    data_ = win32::Utf16FromUtf8((dir_ / "orvRB.b").string());
    index_ = win32::Utf16FromUtf8((dir_ / "orvRB.r").string());
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path dataPath() const { return dir_ / "orvRB.b"; }
  std::filesystem::path indexPath() const { return dir_ / "orvRB.r"; }
  const char16_t* data() const { return data_.c_str(); }
  const char16_t* index() const { return index_.c_str(); }

  void Write(const Bytes& index, const Bytes& data) const {
    WriteAll(indexPath(), index);
    WriteAll(dataPath(), data);
  }
  Bytes Index() const { return ReadAll(indexPath()); }
  Bytes Data() const { return ReadAll(dataPath()); }

 private:
  std::filesystem::path dir_;
  std::u16string data_;
  std::u16string index_;
};

// Runs body in a forked child and returns its exit status (-1 when it did not exit normally).
inline int InChild(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace fixture
