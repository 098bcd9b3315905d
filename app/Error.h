// The program's one error record, thrown by pointer, and its standard presentation.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "platform/win32/wintypes.h"

namespace Orv {

struct TError {
  BYTE HasSystemText = 0;
  WCHAR SystemText[1025] = {};
  WCHAR* Message = nullptr;  // owned, allocated with new[]

  TError() = default;
  ~TError() { delete[] Message; }
  TError(const TError&) = delete;
  TError& operator=(const TError&) = delete;
};

struct TErrorDeleter {
  void operator()(TError* e) const { delete e; }
};
using TErrorPtr = std::unique_ptr<TError, TErrorDeleter>;

// Takes a caught record into ownership at once.
inline TErrorPtr TakeError(TError* e) {
  return TErrorPtr(e);
}

// A copy of text in a new[] array, NUL-terminated.
inline WCHAR* NewWideString(std::u16string_view text) {
  auto* out = new WCHAR[text.size() + 1];
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = u'\0';
  return out;
}

// A new plain-form record: "!!: " followed by text. The caller translates text beforehand.
inline TError* NewPlainError(std::u16string_view text) {
  auto record = std::make_unique<TError>();
  std::u16string message = u"!!: ";
  message += text;
  record->Message = NewWideString(message);
  return record.release();
}

// Raises the plain form with a text used as it stands.
[[noreturn]] inline void RaisePlainError(std::u16string_view text) {
  throw NewPlainError(text);
}

// Raises the plain form for a stored library text: translated through the core dictionary with
// the trim flag, then "!!: " before it.
[[noreturn]] void RaiseLibraryError(const char16_t* storedText);

}  // namespace Orv

// Fills record->SystemText for code (0: the thread's last error); HasSystemText is the raiser's.
void FormatSystemError(Orv::TError* record, DWORD code);
// Shows the record in the standard error box and releases it.
void ShowError(Orv::TError* record);
