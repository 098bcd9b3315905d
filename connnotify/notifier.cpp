#include "connnotify/notifier.h"

#include <cerrno>

#include "platform/win32/pipes.h"

namespace connnotify {

namespace {

struct Word {
  DWORD value;
  std::u16string_view text;
};

constexpr Word kAddFlagWords[] = {
    {CONNECT_TEMPORARY, u"Temporary "},
    {CONNECT_INTERACTIVE, u"Interactive "},
    {CONNECT_PROMPT, u"Prompt "},
    {CONNECT_UPDATE_PROFILE, u"UpdateProfile "},
    {CONNECT_UPDATE_RECENT, u"UpdateRecent "},
};

constexpr Word kUsageWords[] = {
    {RESOURCEUSAGE_CONNECTABLE, u"Connectable "},     {RESOURCEUSAGE_CONTAINER, u"Container "},
    {RESOURCEUSAGE_NOLOCALDEVICE, u"NoLocalDevice "}, {RESOURCEUSAGE_SIBLING, u"Sibling "},
    {RESOURCEUSAGE_ATTACHED, u"Attached "},
};

constexpr Word kScopeWords[] = {
    {RESOURCE_CONNECTED, u"Connected"},
    {RESOURCE_GLOBALNET, u"GlobalNet"},
    {RESOURCE_CONTEXT, u"Context"},
};

constexpr Word kTypeWords[] = {
    {RESOURCETYPE_ANY, u"Any"},
    {RESOURCETYPE_DISK, u"Disk"},
    {RESOURCETYPE_PRINT, u"Printer"},
};

constexpr Word kDisplayTypeWords[] = {
    {RESOURCEDISPLAYTYPE_GENERIC, u"Generic"}, {RESOURCEDISPLAYTYPE_DOMAIN, u"Domain"},
    {RESOURCEDISPLAYTYPE_SERVER, u"Server"},   {RESOURCEDISPLAYTYPE_SHARE, u"Share"},
    {RESOURCEDISPLAYTYPE_NETWORK, u"Network"}, {RESOURCEDISPLAYTYPE_DIRECTORY, u"Directory"},
};

// ", KEY=" and the value's word, or its number where the table has none.
template <std::size_t N>
void AppendEnum(TextBuffer& out, std::u16string_view key, DWORD value, const Word (&words)[N]) {
  out.Append(key);
  for (const auto& word : words) {
    if (word.value == value) {
      out.Append(word.text);
      return;
    }
  }
  out.AppendHex(value);
}

// ", KEY=", a word per set bit in table order, then "(%x)" of the whole value.
template <std::size_t N>
void AppendBits(TextBuffer& out, std::u16string_view key, DWORD value, const Word (&words)[N]) {
  out.Append(key);
  for (const auto& word : words) {
    if (value & word.value) out.Append(word.text);
  }
  out.Append(u"(");
  out.AppendHex(value);
  out.Append(u")");
}

void AppendName(TextBuffer& out, std::u16string_view key, const char16_t* name) {
  if (!name) return;
  out.Append(key);
  out.AppendString(name);
}

// The head and "Context=": Pre takes the next count as context, Post reports the result.
void AppendHead(TextBuffer& out, NOTIFYINFO& info, std::atomic<DWORD>& counter,
                std::u16string_view operation) {
  switch (info.dwNotifyStatus) {
    case NOTIFY_PRE: {
      DWORD count = counter.fetch_add(1, std::memory_order_relaxed) + 1;
      info.lpContext = reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(count));
      out.Append(u"Pre-");
      out.Append(operation);
      out.Append(u":");
      break;
    }
    case NOTIFY_POST:
      out.Append(u"Post-");
      out.Append(operation);
      out.Append(u" (");
      out.AppendHex(info.dwOperationStatus);
      out.Append(u"):");
      break;
    default:
      out.Append(u"Other-");
      out.Append(operation);
      out.Append(u":");
      break;
  }
  out.Append(u"Context=");
  out.AppendHex(reinterpret_cast<std::uintptr_t>(info.lpContext));
}

// The host's errno is its own business; our calls must not change it under it.
class ErrnoKeeper {
 public:
  ErrnoKeeper() : saved_(errno) {}
  ~ErrnoKeeper() { errno = saved_; }

 private:
  int saved_;
};

}  // namespace

void TextBuffer::Clear() {
  length_ = 0;
  units_[0] = 0;
}

void TextBuffer::Append(std::u16string_view text) {
  std::size_t room = kBufferUnits - 1 - length_;
  std::size_t n = text.size() < room ? text.size() : room;
  text.copy(units_.data() + length_, n);
  length_ += n;
  units_[length_] = 0;
}

void TextBuffer::AppendString(const char16_t* text) {
  while (length_ < kBufferUnits - 1 && *text) units_[length_++] = *text++;
  units_[length_] = 0;
}

void TextBuffer::AppendHex(std::uint64_t value) {
  char16_t digits[16];
  std::size_t n = 0;
  do {
    digits[n++] = u"0123456789abcdef"[value & 15];
    value >>= 4;
  } while (value);
  char16_t text[16];
  for (std::size_t i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  Append({text, n});
}

void FormatAddFlags(DWORD flags, TextBuffer& out) {
  AppendBits(out, u", AddFlags=", flags, kAddFlagWords);
}

void FormatNetResource(const NETRESOURCEW& resource, TextBuffer& out) {
  AppendEnum(out, u", Scope=", resource.dwScope, kScopeWords);
  AppendEnum(out, u", Type=", resource.dwType, kTypeWords);
  AppendEnum(out, u", DisplayType=", resource.dwDisplayType, kDisplayTypeWords);
  AppendBits(out, u", Usage=", resource.dwUsage, kUsageWords);
  AppendName(out, u", LocalName=", resource.lpLocalName);
  AppendName(out, u", RemoteName=", resource.lpRemoteName);
  AppendName(out, u", Comment=", resource.lpComment);
  AppendName(out, u", Provider=", resource.lpProvider);
}

void BuildAddMessage(NOTIFYINFO& info, const NOTIFYADD& add, std::atomic<DWORD>& counter,
                     TextBuffer& message) {
  message.Clear();
  AppendHead(message, info, counter, u"Add");
  TextBuffer fragment;
  FormatAddFlags(add.dwAddFlags, fragment);
  message.Append(fragment.View());
  fragment.Clear();
  FormatNetResource(add.NetResource, fragment);
  message.Append(fragment.View());
}

void BuildCancelMessage(NOTIFYINFO& info, const NOTIFYCANCEL& cancel, std::atomic<DWORD>& counter,
                        TextBuffer& message) {
  message.Clear();
  AppendHead(message, info, counter, u"Cancel");
  AppendName(message, u", Name=", cancel.lpName);
  AppendName(message, u", Provider=", cancel.lpProvider);
  if (cancel.dwFlags & 1) {
    message.Append(u", Flags=PersistentCancel");
  } else {
    message.Append(u", Flags=(");
    message.AppendHex(cancel.dwFlags);
    message.Append(u")");
  }
  message.Append(cancel.fForce ? u", Force=TRUE" : u", Force=FALSE");
}

void EncodeMessage(const TextBuffer& message, WireMessage& wire) {
  wire.fill(0);  // nothing of this process's memory leaves it after the text
  auto text = message.View();
  for (std::size_t i = 0; i < text.size(); ++i) {
    wire[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
    wire[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
  }
}

void SendToListener(WireMessage& wire) {
  DWORD read = 0;
  CallNamedPipeW(kPipeName, wire.data(), static_cast<DWORD>(wire.size()), wire.data(),
                 static_cast<DWORD>(wire.size()), &read, NMPWAIT_NOWAIT);
}

namespace {

// Builds one message with build, encodes and sends it; nothing escapes into the host process,
// not even errno.
template <class Build>
DWORD BuildAndSend(Build build) noexcept {
  ErrnoKeeper keep;
  try {
    TextBuffer message;
    build(message);
    WireMessage wire;
    EncodeMessage(message, wire);
    SendToListener(wire);
  } catch (...) {
  }
  return WN_SUCCESS;
}

}  // namespace

DWORD NotifyAdd(LPNOTIFYINFO info, LPNOTIFYADD add, std::atomic<DWORD>& counter) noexcept {
  if (!info || !add) return WN_SUCCESS;
  return BuildAndSend([&](TextBuffer& m) { BuildAddMessage(*info, *add, counter, m); });
}

DWORD NotifyCancel(LPNOTIFYINFO info, LPNOTIFYCANCEL cancel, std::atomic<DWORD>& counter) noexcept {
  if (!info || !cancel) return WN_SUCCESS;
  return BuildAndSend([&](TextBuffer& m) { BuildCancelMessage(*info, *cancel, counter, m); });
}

}  // namespace connnotify
