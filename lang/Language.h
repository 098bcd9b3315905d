// The form dictionary shared by the translating windows.
#pragma once

#include <map>
#include <string>

#include "platform/win32/wintypes.h"

class TLanguage {
 public:
  // Reads the file on the first call only, found or not; returns the loaded flag (always true).
  bool LoadFromFile(const std::string& path);
  // The translation when text is a key, else text itself.
  const std::string& Translate(const std::string& text) const;
  // Translates UTF-16 text through the ANSI code page; the result lives in this object's buffer
  // until the next call. Throws Orv::TError* when a conversion fails.
  const WCHAR* TranslateW(const WCHAR* text);

  // Loads from bytes in memory as LoadFromFile would (fuzzing and tests).
  void LoadFromText(std::string_view bytes);
  bool Loaded() const { return FLoaded; }

 private:
  void AddLine(std::string_view line);

  std::map<std::string, std::string> FDictionary;
  char FWorkBuffer[2048] = {};
  WCHAR FResultBuffer[2048] = {};
  bool FLoaded = false;
};

// The program's one instance, created before any window.
TLanguage& TheLanguage();
