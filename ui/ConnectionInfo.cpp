#include "ui/ConnectionInfo.h"

#include "platform/win32/strings.h"

AnsiString AnsiFromWide(const WCHAR* text) {
  if (!text || !*text) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n > 0) {
    AnsiString out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
  }
  // An unpaired surrogate: replace it rather than lose the name.
  AnsiString out;
  win32::Utf16ToAnsi(win32::Utf16FromUtf8(win32::Utf8FromUtf16(text)), out);
  return out;
}
