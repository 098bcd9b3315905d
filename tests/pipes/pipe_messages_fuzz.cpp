// Arbitrary message sizes and read sizes through a real pipe: every message must come back
// whole, in order, cut into reads exactly where ERROR_MORE_DATA says.
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/linux/unix_socket.h"
#include "tests/pipes/pipe_test_support.h"

namespace {

constexpr const char16_t* kName = u"\\\\.\\pipe\\fuzz@Pipes";

struct Pair {
  Pair() {
    server = pipetest::MakeServer(kName);
    std::string path;
    win32::PipeSocketPath(kName, folder.Path(), path);
    if (!server || linuxsys::UnixSocketConnect(path, SOCK_SEQPACKET, std::nullopt, client) != 0)
      std::abort();
    if (ConnectNamedPipe(server.get(), nullptr) || GetLastError() != ERROR_PIPE_CONNECTED)
      std::abort();
  }
  pipetest::TempPipeFolder folder;
  pipetest::UniqueHandle server;
  linuxsys::UnixSocket client;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Pair* pair = new Pair;  // one connection for the whole run
  struct Message {
    std::vector<unsigned char> bytes;
    DWORD readSize;
  };
  std::vector<Message> messages;
  for (std::size_t i = 0; i + 3 <= size && messages.size() < 16; i += 3) {
    std::size_t length = (data[i] | (data[i + 1] << 8)) % 3000;
    Message m{std::vector<unsigned char>(length), data[i + 2] == 255 ? 4096u : data[i + 2] + 1u};
    for (std::size_t k = 0; k < length; ++k) m.bytes[k] = static_cast<unsigned char>(k * 31 + i);
    messages.push_back(std::move(m));
  }
  for (const auto& m : messages) {
    if (::send(pair->client.Get(), m.bytes.data(), m.bytes.size(), 0) !=
        static_cast<ssize_t>(m.bytes.size()))
      std::abort();
  }
  std::vector<unsigned char> buffer(4096);
  for (const auto& m : messages) {
    std::vector<unsigned char> got;
    for (;;) {
      DWORD read = 0;
      BOOL ok = ReadFile(pair->server.get(), buffer.data(), m.readSize, &read, nullptr);
      if (read > m.readSize) std::abort();
      got.insert(got.end(), buffer.begin(), buffer.begin() + read);
      if (ok) break;
      if (GetLastError() != ERROR_MORE_DATA || read != m.readSize) std::abort();
    }
    if (got != m.bytes) std::abort();
  }
  return 0;
}
