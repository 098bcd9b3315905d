#include "platform/linux/samba_process.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

namespace linuxsys {

namespace {

std::optional<std::string> ReadSmallFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

template <class T>
bool Number(std::string_view s, T& value, int base = 10) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::optional<std::int64_t> BootTime() {
  auto text = ReadSmallFile("/proc/stat");
  if (!text) return std::nullopt;
  std::istringstream lines(*text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("btime ", 0) == 0) {
      std::int64_t t = 0;
      if (Number(std::string_view(line).substr(6), t)) return t;
    }
  }
  return std::nullopt;
}

// "0100007F:01BD" (IPv4) or 32 hex digits and a port (IPv6), in the kernel's word order.
bool ParseTableEndpoint(std::string_view text, bool ipv6, std::array<std::uint8_t, 16>& address,
                        std::uint16_t& port) {
  auto colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view hex = text.substr(0, colon);
  std::size_t words = ipv6 ? 4 : 1;
  if (hex.size() != words * 8) return false;
  address.fill(0);
  for (std::size_t w = 0; w < words; ++w) {
    std::uint32_t word = 0;
    if (!Number(hex.substr(w * 8, 8), word, 16)) return false;
    std::memcpy(address.data() + w * 4, &word, 4);  // printed as a host-order word
  }
  return Number(text.substr(colon + 1), port, 16);
}

bool IsV4Mapped(const std::array<std::uint8_t, 16>& a) {
  static const std::uint8_t prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  return std::memcmp(a.data(), prefix, 12) == 0;
}

bool SameAddress(const std::array<std::uint8_t, 16>& entry, bool ipv6, const ClientEndpoint& c) {
  if (!ipv6) return c.family == AF_INET && std::memcmp(entry.data(), c.address.data(), 4) == 0;
  if (c.family == AF_INET6) return entry == c.address;
  return IsV4Mapped(entry) && std::memcmp(entry.data() + 12, c.address.data(), 4) == 0;
}

std::string Format(const std::array<std::uint8_t, 16>& a, bool ipv6, std::uint16_t port) {
  char text[INET6_ADDRSTRLEN] = {};
  std::string out;
  if (!ipv6 || IsV4Mapped(a)) {
    ::inet_ntop(AF_INET, a.data() + (ipv6 ? 12 : 0), text, sizeof text);
    out = text;
  } else {
    ::inet_ntop(AF_INET6, a.data(), text, sizeof text);
    out = std::string("[") + text + "]";
  }
  return out + ":" + std::to_string(port);
}

std::vector<std::uint64_t> SocketInodes(pid_t pid) {
  std::vector<std::uint64_t> inodes;
  std::string dir = "/proc/" + std::to_string(pid) + "/fd";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return inodes;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    char target[128] = {};
    std::string link = dir + "/" + e->d_name;
    ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    std::string_view t(target, static_cast<std::size_t>(n));
    if (t.rfind("socket:[", 0) != 0 || t.back() != ']') continue;
    std::uint64_t inode = 0;
    if (Number(t.substr(8, t.size() - 9), inode)) inodes.push_back(inode);
  }
  ::closedir(d);
  return inodes;
}

}  // namespace

std::optional<std::uint64_t> ProcessStartTicks(pid_t pid) {
  auto text = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
  if (!text) return std::nullopt;
  // The command name may hold blanks and parentheses: the fields start after the last ')'.
  auto close = text->rfind(')');
  if (close == std::string::npos) return std::nullopt;
  auto fields = Fields(std::string_view(*text).substr(close + 1));
  // After the name: state is field 3, starttime field 22.
  if (fields.size() < 20) return std::nullopt;
  std::uint64_t ticks = 0;
  if (!Number(fields[19], ticks)) return std::nullopt;
  return ticks;
}

std::optional<std::int64_t> ProcessStartTime(pid_t pid) {
  auto ticks = ProcessStartTicks(pid);
  auto boot = BootTime();
  long hz = ::sysconf(_SC_CLK_TCK);
  if (!ticks || !boot || hz <= 0) return std::nullopt;
  return *boot + static_cast<std::int64_t>(*ticks / static_cast<std::uint64_t>(hz));
}

std::optional<IoCounters> ParseIoCounters(std::string_view text) {
  static const char* names[4] = {"rchar", "wchar", "syscr", "syscw"};
  IoCounters counters{};
  bool seen[4] = {};
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    auto name = line.substr(0, colon);
    auto value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    for (int i = 0; i < 4; ++i) {
      if (name == names[i] && Number(value, counters[i])) seen[i] = true;
    }
  }
  if (!std::all_of(std::begin(seen), std::end(seen), [](bool b) { return b; })) return std::nullopt;
  return counters;
}

std::optional<IoCounters> ProcessIoCounters(pid_t pid) {
  auto text = ReadSmallFile("/proc/" + std::to_string(pid) + "/io");
  if (!text) return std::nullopt;
  return ParseIoCounters(*text);
}

std::optional<ClientEndpoint> ParseClientEndpoint(std::string_view text) {
  ClientEndpoint e;
  if (text.rfind("ipv4:", 0) == 0) {
    e.family = AF_INET;
  } else if (text.rfind("ipv6:", 0) == 0) {
    e.family = AF_INET6;
  } else {
    return std::nullopt;
  }
  text.remove_prefix(5);
  auto colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string address(text.substr(0, colon));
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
    address = address.substr(1, address.size() - 2);
  if (!Number(text.substr(colon + 1), e.port)) return std::nullopt;
  if (::inet_pton(e.family, address.c_str(), e.address.data()) != 1) return std::nullopt;
  return e;
}

std::optional<std::string> FindServerEndpoint(std::string_view table, bool ipv6,
                                              const ClientEndpoint& client,
                                              const std::vector<std::uint64_t>& inodes) {
  std::size_t pos = table.find('\n');  // the first line is the header
  while (pos != std::string_view::npos && pos < table.size()) {
    auto end = table.find('\n', pos + 1);
    std::string_view line = table.substr(
        pos + 1, end == std::string_view::npos ? std::string_view::npos : end - pos - 1);
    pos = end;
    auto f = Fields(line);
    if (f.size() < 10) continue;
    std::array<std::uint8_t, 16> local{}, remote{};
    std::uint16_t localPort = 0, remotePort = 0;
    std::uint64_t inode = 0;
    if (!ParseTableEndpoint(f[1], ipv6, local, localPort) ||
        !ParseTableEndpoint(f[2], ipv6, remote, remotePort) || !Number(f[9], inode))
      continue;
    if (remotePort != client.port || !SameAddress(remote, ipv6, client)) continue;
    if (std::find(inodes.begin(), inodes.end(), inode) == inodes.end()) continue;
    return Format(local, ipv6, localPort);
  }
  return std::nullopt;
}

const std::string* TcpTables::For(pid_t pid, bool ipv6) {
  const std::string proc = "/proc/" + std::to_string(pid);
  char ns[64] = {};
  ssize_t n = ::readlink((proc + "/ns/net").c_str(), ns, sizeof ns - 1);
  // Without the namespace's name the table is read for this process alone.
  std::string key = n > 0 ? std::string(ns, static_cast<std::size_t>(n)) : proc;
  auto it = tables_.find({key, ipv6});
  if (it == tables_.end())
    it = tables_
             .emplace(std::make_pair(key, ipv6),
                      ReadSmallFile(proc + (ipv6 ? "/net/tcp6" : "/net/tcp")))
             .first;
  return it->second ? &*it->second : nullptr;
}

std::optional<std::string> ServerEndpointOf(pid_t pid, const ClientEndpoint& client,
                                            TcpTables& tables) {
  auto inodes = SocketInodes(pid);
  if (inodes.empty()) return std::nullopt;
  // An IPv4 client may also sit on a dual-stack IPv6 socket.
  for (bool ipv6 : {false, true}) {
    if (!ipv6 && client.family != AF_INET) continue;
    const std::string* table = tables.For(pid, ipv6);
    if (!table) continue;
    if (auto found = FindServerEndpoint(*table, ipv6, client, inodes)) return found;
  }
  return std::nullopt;
}

}  // namespace linuxsys
