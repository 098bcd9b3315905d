// Basic types of the window framework: 8-bit strings in the ANSI code page, the root object,
// events, and conversions to Qt's strings.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

using AnsiString = std::string;

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

namespace vcl {
// ANSI (the locale's character set) to Qt and back; bytes that do not convert become U+FFFD /
// "?" so that a window never loses a whole text to one bad byte.
QString ToQString(const AnsiString& text);
AnsiString FromQString(const QString& text);
}  // namespace vcl

// A list of 8-bit strings that tells its owner when it changes (Items, Lines, Tabs).
class TStrings {
 public:
  std::function<void()> OnChange;

  int Count() const { return static_cast<int>(FItems.size()); }
  const AnsiString& operator[](int i) const { return FItems.at(static_cast<size_t>(i)); }
  void Set(int i, const AnsiString& s) {
    FItems.at(static_cast<size_t>(i)) = s;
    Changed();
  }
  int Add(const AnsiString& s) {
    FItems.push_back(s);
    Changed();
    return Count() - 1;
  }
  void Clear() {
    FItems.clear();
    Changed();
  }
  void Assign(std::vector<AnsiString> items) {
    FItems = std::move(items);
    Changed();
  }
  const std::vector<AnsiString>& Items() const { return FItems; }
  // The lines joined by CR LF, each line followed by one, as the framework's Text does.
  AnsiString Text() const {
    AnsiString out;
    for (const auto& s : FItems) out += s + "\r\n";
    return out;
  }

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::vector<AnsiString> FItems;
};
