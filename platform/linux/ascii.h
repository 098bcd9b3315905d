// Small ASCII helpers shared by the layers: case folding and file-name-safe encoding.
#pragma once

#include <string>
#include <string_view>

namespace linuxsys {

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// Every byte that `plain` refuses is written as %XX, so any name maps to one file name that
// stays inside its folder.
template <class Plain>
std::string PercentEncode(std::string_view bytes, Plain plain) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (plain(c, out.empty())) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace linuxsys
