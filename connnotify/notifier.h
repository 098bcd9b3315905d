// The notifier's work: one line of text per connection event, sent to the listening program
// through its pipe without waiting for it.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "connnotify/notify_records.h"

namespace connnotify {

inline constexpr std::size_t kBufferUnits = 1024;
inline constexpr const char16_t* kPipeName = u"\\\\.\\pipe\\orv@Kestrow";

// A fixed buffer of UTF-16 units. Text beyond its last unit is cut, so it holds at most
// kBufferUnits - 1 characters and is always NUL-terminated.
class TextBuffer {
 public:
  void Clear();
  void Append(std::u16string_view text);
  // Reads a NUL-terminated string only as far as there is room for it.
  void AppendString(const char16_t* text);
  // Lower-case hexadecimal digits, no leading zeros, no prefix.
  void AppendHex(std::uint64_t value);

  std::u16string_view View() const { return {units_.data(), length_}; }
  const char16_t* Data() const { return units_.data(); }
  std::size_t Length() const { return length_; }

 private:
  std::array<char16_t, kBufferUnits> units_{};
  std::size_t length_ = 0;
};

// ", AddFlags=" and a word per set flag, then the whole word in parentheses.
void FormatAddFlags(DWORD flags, TextBuffer& out);
// Scope, type, display type, usage and the names that are present.
void FormatNetResource(const NETRESOURCEW& resource, TextBuffer& out);

// On a Pre notification, counter is incremented and its new value stored into lpContext.
void BuildAddMessage(NOTIFYINFO& info, const NOTIFYADD& add, std::atomic<DWORD>& counter,
                     TextBuffer& message);
void BuildCancelMessage(NOTIFYINFO& info, const NOTIFYCANCEL& cancel, std::atomic<DWORD>& counter,
                        TextBuffer& message);

// What goes through the pipe: the whole buffer as UTF-16LE, zero after the text.
using WireMessage = std::array<unsigned char, kBufferUnits * 2>;
void EncodeMessage(const TextBuffer& message, WireMessage& wire);

// One CallNamedPipeW that does not wait for a busy listener beyond the pipe layer's short bound;
// the reply lands in wire and is of no interest.
void SendToListener(WireMessage& wire);

// The exports' bodies: describe, send, and let the operation go ahead (WN_SUCCESS) whatever
// happens. They never throw and leave the caller's errno as it was.
DWORD NotifyAdd(LPNOTIFYINFO info, LPNOTIFYADD add, std::atomic<DWORD>& counter) noexcept;
DWORD NotifyCancel(LPNOTIFYINFO info, LPNOTIFYCANCEL cancel, std::atomic<DWORD>& counter) noexcept;

}  // namespace connnotify
