// Reading a dictionary file as the text-mode reader sees it: lines end at LF, a CR right before
// the LF is dropped, a 0x1A byte ends the file, and a line longer than the usable length ends the
// reading (the lines before it count). A NUL byte ends its line's text, as in a C string.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace lang {

// Calls onLine for each line read from path; nothing when the file cannot be opened or is not a
// regular file.
void ReadDictionaryLines(const std::string& path, size_t longestLine,
                         const std::function<void(std::string_view)>& onLine);
// The same over bytes already in memory (fuzzing and tests).
void SplitDictionaryText(std::string_view bytes, size_t longestLine,
                         const std::function<void(std::string_view)>& onLine);

}  // namespace lang
