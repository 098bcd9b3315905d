#include "ui/ConnectionInfo.h"

#include "platform/win32/strings.h"

AnsiString AnsiFromWide(const WCHAR* text) {
  AnsiString out;
  if (!text || !*text) return out;
  const std::u16string_view wide(text);
  if (win32::Utf16ToAnsi(wide, out)) return out;
  // An unpaired surrogate: replace it rather than lose the name.
  win32::Utf16ToAnsi(win32::Utf16FromUtf8(win32::Utf8FromUtf16(wide)), out);
  return out;
}
