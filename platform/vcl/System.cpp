#include "platform/vcl/System.h"

#include "platform/win32/strings.h"

namespace vcl {

QString ToQString(const AnsiString& text) {
  std::u16string wide;
  if (!win32::AnsiToUtf16(text, wide)) {
    // Keep what converts: byte by byte, with U+FFFD for the rest.
    wide.clear();
    for (unsigned char c : text) wide += c < 0x80 ? char16_t(c) : char16_t(0xFFFD);
  }
  return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

AnsiString FromQString(const QString& text) {
  std::u16string wide(reinterpret_cast<const char16_t*>(text.utf16()),
                      static_cast<size_t>(text.size()));
  std::string out;
  if (wide.empty()) return out;
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace vcl
