// The core dictionary: translations of the object library's error texts (UTF-16).
#pragma once

#include <string_view>

#include "platform/win32/wintypes.h"

// Loads "corelang.dic" on the first call only; returns the loaded flag (always true).
bool LoadCoreDictionary(const char* path);
// Translates the text in place (never longer than it was) and, with trim, removes its trailing
// blanks. Returns text.
WCHAR* TranslateCoreText(WCHAR* text, bool trim);

namespace lang {
// Loads from bytes in memory, as LoadCoreDictionary would from a file (fuzzing and tests).
void LoadCoreDictionaryFromText(std::string_view bytes);
// Forgets everything loaded (tests only).
void ResetCoreDictionaryForTesting();
}  // namespace lang
