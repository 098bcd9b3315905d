// The records of `smbstatus --json -B`: sessions, tree connects, opens and byte-range locks, as
// far as the backend uses them. Parsing never throws; anything unexpected makes it fail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linuxsys {

// The smbd process (and its unique id, which tells a reused pid apart) serving a record.
struct SambaServerId {
  std::uint64_t pid = 0;
  std::uint64_t uniqueId = 0;
  std::uint32_t taskId = 0;
  std::uint32_t vnn = 0;
};

struct SambaSessionRecord {
  std::string sessionId;
  SambaServerId server;
  std::optional<std::int64_t> uid;
  std::string username;
  std::string remoteMachine;
  std::string hostname;  // the client's endpoint, "ipv4:ADDRESS:PORT" or "ipv6:ADDRESS:PORT"
  std::string dialect;
  std::string encryptionDegree;              // "none", "partial", "full"; empty when absent
  std::optional<std::int64_t> creationTime;  // Unix seconds, reported from Samba 4.20 on
};

struct SambaTconRecord {
  std::string sessionId;
  SambaServerId server;
  std::string service;
  std::optional<std::int64_t> connectedAt;  // Unix seconds
};

struct SambaFileId {
  std::uint64_t devid = 0, inode = 0, extid = 0;
  bool operator==(const SambaFileId&) const = default;
};

struct SambaOpenRecord {
  std::string path;  // the server's local path of the file
  SambaFileId fileId;
  SambaServerId server;
  std::int64_t uid = -1;
  std::uint32_t shareFileId = 0;
  std::uint32_t accessMask = 0;
};

struct SambaLockRecord {  // one byte-range lock
  SambaFileId fileId;
  SambaServerId server;
};

struct SambaStatus {
  std::string version;
  std::vector<SambaSessionRecord> sessions;  // in Samba's order
  std::vector<SambaTconRecord> tcons;
  std::vector<SambaOpenRecord> opens;
  std::vector<SambaLockRecord> locks;
};

// False (with a reason in *why) for text that is not smbstatus's JSON: not JSON, truncated,
// required members missing or of the wrong type.
bool ParseSambaStatusJson(std::string_view text, SambaStatus& out, std::string* why = nullptr);

// "2026-12-11T11:52:35.883014+00:00", "...+0000", "...Z": Unix seconds, or nullopt.
std::optional<std::int64_t> ParseIsoTime(std::string_view text);

}  // namespace linuxsys
