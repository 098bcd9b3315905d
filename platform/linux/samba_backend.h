// This machine's SMB server as an administrator sees it: its sessions and open files, closing an
// open, ending sessions, and sending a messenger message. One process-wide backend serves the
// calls; by default it is the local Samba chosen by SetSambaConfigPath (samba_config.h), tests
// install a fake.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace linuxsys {

enum class SmbStatus {
  kOk,
  kAccessDenied,    // the server's state cannot be read or changed with our rights
  kNotRunning,      // no server runs for the configured smb.conf
  kNoConfig,        // the configured smb.conf cannot be read
  kToolMissing,     // a Samba tool is not installed
  kToolFailed,      // a tool ended with an error
  kBadOutput,       // a tool printed something we do not understand
  kTimeout,         // a tool did not finish in time and was stopped
  kFileNotFound,    // no such open file
  kClientNotFound,  // no session from that client
  kUserNotFound,    // sessions from that client, but none of that user
  kNameNotFound,    // the message recipient's name cannot be resolved
  kNotSupported,    // the server offers no way to do this
  kInvalidParameter,
};

const char* SmbStatusName(SmbStatus status);

struct SmbSession {
  std::string computer;  // the client's name as the server knows it (an address for SMB2+)
  std::string user;      // may be empty
  std::uint32_t opens = 0;
  std::uint32_t secondsConnected = 0;
  std::uint32_t secondsIdle = 0;
  bool guest = false;
  bool noEncryption = false;
  std::string clientType;  // the negotiated dialect, e.g. SMB3_11
  std::string transport;
};

struct SmbOpenFile {
  std::uint32_t id = 0;          // the same for the same open across enumerations
  std::uint32_t accessMask = 0;  // the access granted to the open (FILE_READ_DATA = 1, ...)
  std::uint32_t locks = 0;
  std::string path;
  std::string user;
};

class SmbServerBackend {
 public:
  virtual ~SmbServerBackend() = default;
  virtual SmbStatus EnumSessions(std::vector<SmbSession>& sessions) = 0;
  virtual SmbStatus EnumOpenFiles(std::vector<SmbOpenFile>& files) = 0;
  virtual SmbStatus CloseFile(std::uint32_t id) = 0;
  // Ends every session from `client` of `user`; an empty argument matches any.
  virtual SmbStatus EndSession(std::string_view client, std::string_view user) = 0;
  // Sends `text` as a messenger message from `from` to the computer named `to`.
  virtual SmbStatus SendMessage(std::string_view to, std::string_view from,
                                std::string_view text) = 0;
};

// The backend in use; the Samba one unless a test installed another.
std::shared_ptr<SmbServerBackend> CurrentSmbServerBackend();
// Installs a backend for tests; nullptr restores the Samba backend.
void SetSmbServerBackendForTesting(std::unique_ptr<SmbServerBackend> backend);

// Where the Samba backend finds its tools and how long it lets each run.
struct SambaTools {
  std::string smbstatus = "smbstatus";
  std::string smbcontrol = "smbcontrol";
  std::string smbclient = "smbclient";
  // Samba's Python bindings (python3-samba) live under the system interpreter.
  std::string python = "/usr/bin/python3";
  std::chrono::milliseconds timeout{4000};
  // How long a close or a session end may take to show in the server's state.
  std::chrono::milliseconds settle{3000};
};

// The Samba backend (for the configured smb.conf), with its own idle-time and file-id memory.
std::unique_ptr<SmbServerBackend> MakeSambaServerBackend(SambaTools tools = {});

// The messenger's destination port: the environment variable SMB_MESSENGER_PORT when set to a
// valid port, else 139 (NetBIOS session service).
int MessengerPort();

}  // namespace linuxsys
