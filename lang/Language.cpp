#include "lang/Language.h"

#include "app/Error.h"
#include "lang/DictionaryFile.h"
#include "platform/win32/strings.h"

namespace {
constexpr size_t kLongestLine = 2047;
}

void TLanguage::AddLine(std::string_view line) {
  size_t sep = line.find("===");
  if (sep == std::string_view::npos) return;
  FDictionary.emplace(std::string(line.substr(0, sep)), std::string(line.substr(sep + 3)));
}

bool TLanguage::LoadFromFile(const std::string& path) {
  if (FLoaded) return FLoaded;
  lang::ReadDictionaryLines(path, kLongestLine, [this](std::string_view l) { AddLine(l); });
  FLoaded = true;
  return FLoaded;
}

void TLanguage::LoadFromText(std::string_view bytes) {
  if (FLoaded) return;
  lang::SplitDictionaryText(bytes, kLongestLine, [this](std::string_view l) { AddLine(l); });
  FLoaded = true;
}

const std::string& TLanguage::Translate(const std::string& text) const {
  auto it = FDictionary.find(text);
  return it == FDictionary.end() ? text : it->second;
}

const WCHAR* TLanguage::TranslateW(const WCHAR* text) {
  if (!text || !*text) {
    FWorkBuffer[0] = '\0';
  } else if (WideCharToMultiByte(CP_ACP, 0, text, -1, FWorkBuffer, sizeof FWorkBuffer, nullptr,
                                 nullptr) == 0) {
    Orv::RaisePlainError(u"Error encoding to ANSI");
  }
  const std::string work = FWorkBuffer;
  const std::string& translated = Translate(work);
  if (translated.empty()) {
    FResultBuffer[0] = u'\0';
  } else if (MultiByteToWideChar(CP_ACP, 0, translated.c_str(), -1, FResultBuffer,
                                 static_cast<int>(std::size(FResultBuffer))) == 0) {
    Orv::RaisePlainError(u"Error encoding to UNICODE");
  }
  return FResultBuffer;
}

TLanguage& TheLanguage() {
  static TLanguage language;
  return language;
}
