// What /proc tells about the smbd process serving a client: when it started, whether it has
// done I/O, and the server-side endpoint of the client's TCP connection.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linuxsys {

// Start of the process in clock ticks since boot (field 22 of /proc/PID/stat), which also tells
// a reused pid apart.
std::optional<std::uint64_t> ProcessStartTicks(pid_t pid);
// The same as Unix seconds.
std::optional<std::int64_t> ProcessStartTime(pid_t pid);

// rchar, wchar, syscr and syscw of /proc/PID/io: they move whenever the process reads or writes.
using IoCounters = std::array<std::uint64_t, 4>;
std::optional<IoCounters> ProcessIoCounters(pid_t pid);
// Parses the text of /proc/PID/io; exposed for tests.
std::optional<IoCounters> ParseIoCounters(std::string_view text);

// A client endpoint as Samba writes it ("ipv4:127.0.0.1:45758", "ipv6:::1:45758").
struct ClientEndpoint {
  int family = 0;  // AF_INET or AF_INET6
  std::array<std::uint8_t, 16> address{};
  std::uint16_t port = 0;
};
std::optional<ClientEndpoint> ParseClientEndpoint(std::string_view text);

// The kernel's TCP tables (/proc/PID/net/tcp and tcp6) per network namespace, each read once
// while the object lives: reading one walks every socket of the namespace.
class TcpTables {
 public:
  const std::string* For(pid_t pid, bool ipv6);

 private:
  std::map<std::pair<std::string, bool>, std::optional<std::string>> tables_;
};

// The local address and port ("127.0.0.1:445", "[::1]:445") of the TCP connection that process
// `pid` holds with `client`, from its descriptors and its namespace's TCP tables.
std::optional<std::string> ServerEndpointOf(pid_t pid, const ClientEndpoint& client,
                                            TcpTables& tables);
// Finds it in the text of a /proc/net/tcp or tcp6 table among the given socket inodes; exposed
// for tests.
std::optional<std::string> FindServerEndpoint(std::string_view table, bool ipv6,
                                              const ClientEndpoint& client,
                                              const std::vector<std::uint64_t>& inodes);

}  // namespace linuxsys
