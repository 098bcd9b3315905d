#include "lang/CoreDictionary.h"

#include <map>
#include <string>

#include "lang/DictionaryFile.h"
#include "platform/win32/strings.h"

namespace lang {

namespace {

constexpr size_t kLongestLine = 4095;

struct CoreDictionary {
  std::map<std::u16string, std::u16string> entries;
  bool loaded = false;
};

CoreDictionary& Core() {
  static CoreDictionary dictionary;
  return dictionary;
}

void AddLine(std::string_view line) {
  if (line.empty()) return;
  // Converted as a whole line before it is split; a line that does not convert is skipped.
  int needed =
      MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
  if (needed <= 0) return;
  std::u16string wide(static_cast<size_t>(needed), u'\0');
  if (MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                          needed) != needed)
    return;
  size_t sep = wide.find(u"===");
  if (sep == std::u16string::npos) return;
  Core().entries.emplace(wide.substr(0, sep), wide.substr(sep + 3));
}

}  // namespace

void LoadCoreDictionaryFromText(std::string_view bytes) {
  if (Core().loaded) return;
  SplitDictionaryText(bytes, kLongestLine, AddLine);
  Core().loaded = true;
}

void ResetCoreDictionaryForTesting() {
  Core() = CoreDictionary{};
}

}  // namespace lang

bool LoadCoreDictionary(const char* path) {
  auto& core = lang::Core();
  if (core.loaded) return core.loaded;
  if (path) lang::ReadDictionaryLines(path, lang::kLongestLine, lang::AddLine);
  core.loaded = true;
  return core.loaded;
}

WCHAR* TranslateCoreText(WCHAR* text, bool trim) {
  if (!text) return text;
  const size_t n = std::char_traits<char16_t>::length(text);
  auto& entries = lang::Core().entries;
  if (auto it = entries.find(std::u16string(text, n)); it != entries.end()) {
    const std::u16string& translation = it->second;
    if (translation.size() <= n) {
      std::copy(translation.begin(), translation.end(), text);
      text[translation.size()] = u'\0';
    } else {
      std::copy_n(translation.begin(), n, text);  // the terminator at n stays
    }
  }
  if (trim) {
    size_t len = std::char_traits<char16_t>::length(text);
    while (len > 0 && text[len - 1] == u' ') text[--len] = u'\0';
  }
  return text;
}
