// Arbitrary bytes as the core dictionary, then in-place translation of short and long texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lang/CoreDictionary.h"
#include "platform/win32/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  lang::ResetCoreDictionaryForTesting();
  lang::LoadCoreDictionaryFromText(bytes);
  std::u16string key = win32::Utf16FromUtf8(bytes.substr(0, bytes.find("===")));
  for (size_t cut : {size_t{0}, size_t{1}, key.size() / 2, key.size()}) {
    std::vector<char16_t> buffer(key.begin(),
                                 key.begin() + static_cast<long>(std::min(cut, key.size())));
    buffer.push_back(u'\0');
    TranslateCoreText(buffer.data(), (cut & 1) != 0);
  }
  return 0;
}
