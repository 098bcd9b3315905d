// A private Samba on loopback for integration tests and the demo.
//
//   smbtest::PrivateSamba samba;                       // smbd on 127.0.0.1 / ::1, own port
//   linuxsys::SetSambaConfigPath(samba.ConfigPath());  // point the backend at it
//   auto& alice = samba.Connect(samba.Users()[0]);     // a real smbclient session
//   int fnum = alice.Open(samba.CreateFile("a.txt"));  // held open until Close or the end
//
// It has its own smb.conf and state folders in a temporary folder, an unprivileged port, Unix and
// Samba users it creates, and a "message command" that stores received messenger messages. The
// destructor stops the clients and smbd and removes the users and folders, also after a failing
// test; leftovers of a harness that was killed are removed by the next one. Needs root.
// Failures to set up throw std::runtime_error.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace linuxsys {
class ChildProcess;
}

namespace smbtest {

struct SambaUser {
  std::string name;
  std::string password;
};

struct ReceivedMessage {
  std::string from;
  std::string text;
};

// One smbclient process: one SMB session that stays connected while the object lives.
class SmbClientSession {
 public:
  ~SmbClientSession();
  SmbClientSession(const SmbClientSession&) = delete;
  SmbClientSession& operator=(const SmbClientSession&) = delete;

  // Runs one smbclient command and returns what it printed (empty when the client is gone).
  std::string Run(const std::string& command);
  // Opens a file of the share for reading and writing (falls back to reading as smbclient
  // does); returns its fnum, or -1.
  int Open(const std::string& name);
  bool Close(int fnum);
  // A byte-range lock on an fnum (sessions connected with posixLocks only).
  bool Lock(int fnum, bool write, unsigned long long start, unsigned long long length);
  // True when the server has dropped the connection (or the client ended).
  bool Disconnected();
  // Ends the client (its session ends with it).
  void Quit();
  pid_t Pid() const;

 private:
  friend class PrivateSamba;
  SmbClientSession() = default;
  std::unique_ptr<linuxsys::ChildProcess> process_;
  int marker_ = 0;
  std::size_t seen_ = 0;
};

class PrivateSamba {
 public:
  struct Options {
    // Names of the users to create; default: two users named after this process.
    std::vector<std::string> userNames;
    std::chrono::seconds startTimeout{20};
  };
  struct ClientOptions {
    bool guest = false;                 // anonymous instead of the user's password
    bool posixLocks = false;            // SMB1 with UNIX extensions, needed for Lock()
    bool encrypt = false;               // SMB3 encryption
    std::string address = "127.0.0.1";  // the server address to connect to ("::1" for IPv6)
  };

  PrivateSamba();
  explicit PrivateSamba(Options options);
  ~PrivateSamba();
  PrivateSamba(const PrivateSamba&) = delete;
  PrivateSamba& operator=(const PrivateSamba&) = delete;

  const std::string& ConfigPath() const { return conf_; }
  int Port() const { return port_; }
  const std::string& NetbiosName() const { return netbios_; }
  const std::string& ShareDir() const { return share_; }
  const std::vector<SambaUser>& Users() const { return users_; }
  pid_t SmbdPid() const;

  // Creates (or rewrites) a file in the share that every user may read and write; returns its
  // name relative to the share.
  std::string CreateFile(const std::string& name, const std::string& content = "data\n");
  // A connected session of `user`, which lives as long as the harness (or until Quit); throws
  // when it cannot log in.
  SmbClientSession& Connect(const SambaUser& user, ClientOptions options);
  SmbClientSession& Connect(const SambaUser& user) { return Connect(user, {}); }
  // Messenger messages this server received so far, oldest first.
  std::vector<ReceivedMessage> ReceivedMessages() const;

 private:
  void Start(const Options& options);
  void Cleanup();
  void WriteConfig();

  std::string dir_, conf_, share_, messages_, netbios_;
  int port_ = 0;
  std::vector<SambaUser> users_;
  std::vector<std::string> createdAccounts_;
  std::vector<std::unique_ptr<SmbClientSession>> clients_;
  std::unique_ptr<linuxsys::ChildProcess> smbd_;
};

}  // namespace smbtest
