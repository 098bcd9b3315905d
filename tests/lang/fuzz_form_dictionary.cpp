// Arbitrary bytes as a form dictionary: loading and lookups must stay inside their buffers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/Error.h"
#include "lang/Language.h"
#include "platform/win32/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  TLanguage language;
  language.LoadFromText(bytes);
  // Look up the first line's key and a prefix of the input, narrow and wide.
  std::string firstKey = bytes.substr(0, bytes.find("==="));
  (void)language.Translate(firstKey);
  (void)language.Translate(bytes.substr(0, 64));
  std::u16string wide = win32::Utf16FromUtf8(firstKey);
  try {
    (void)language.TranslateW(wide.c_str());
  } catch (Orv::TError* e) {
    Orv::TakeError(e);
  }
  return 0;
}
