// Arbitrary records through the message builders: the text must always fit its buffer, stay
// terminated and keep its head, whatever the numbers and however long the names.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "connnotify/notifier.h"

namespace {

DWORD Take(const std::uint8_t*& data, std::size_t& size) {
  DWORD value = 0;
  std::size_t n = size < 4 ? size : 4;
  std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

void Check(const connnotify::TextBuffer& message) {
  auto text = message.View();
  if (text.size() > connnotify::kBufferUnits - 1) std::abort();
  if (message.Data()[text.size()] != 0) std::abort();
  if (text.find(u'\0') != std::u16string_view::npos) std::abort();
  if (!(text.starts_with(u"Pre-") || text.starts_with(u"Post-") || text.starts_with(u"Other-")))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NOTIFYINFO info{};
  info.dwNotifyStatus = Take(data, size) % 4;
  info.dwOperationStatus = Take(data, size);
  info.lpContext = reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(Take(data, size)));
  NOTIFYADD add{};
  add.dwAddFlags = Take(data, size);
  add.NetResource.dwScope = Take(data, size);
  add.NetResource.dwType = Take(data, size);
  add.NetResource.dwDisplayType = Take(data, size);
  add.NetResource.dwUsage = Take(data, size);
  DWORD present = Take(data, size);

  // The rest: up to four UTF-16 strings separated by NUL units; each copy ends exactly at its
  // terminator so that reading past it is caught.
  std::vector<std::vector<char16_t>> strings(4);
  std::size_t which = 0;
  for (std::size_t i = 0; i + 1 < size && which < 4; i += 2) {
    char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      ++which;
    } else {
      strings[which].push_back(unit);
    }
  }
  LPWSTR pointers[4];
  for (std::size_t i = 0; i < 4; ++i) {
    strings[i].push_back(0);
    pointers[i] = (present >> i) & 1 ? strings[i].data() : nullptr;
  }
  add.NetResource.lpLocalName = pointers[0];
  add.NetResource.lpRemoteName = pointers[1];
  add.NetResource.lpComment = pointers[2];
  add.NetResource.lpProvider = pointers[3];

  std::atomic<DWORD> counter{present};
  connnotify::TextBuffer message;
  NOTIFYINFO addInfo = info;
  connnotify::BuildAddMessage(addInfo, add, counter, message);
  Check(message);

  NOTIFYCANCEL cancel{pointers[1], pointers[3], add.dwAddFlags, static_cast<BOOL>(present >> 8)};
  NOTIFYINFO cancelInfo = info;
  connnotify::BuildCancelMessage(cancelInfo, cancel, counter, message);
  Check(message);

  connnotify::WireMessage wire;
  connnotify::EncodeMessage(message, wire);
  return 0;
}
