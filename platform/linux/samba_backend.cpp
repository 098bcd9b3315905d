#include "platform/linux/samba_backend.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "platform/linux/ascii.h"
#include "platform/linux/samba_config.h"
#include "platform/linux/samba_netbios.h"
#include "platform/linux/samba_process.h"
#include "platform/linux/samba_status.h"
#include "platform/linux/subprocess.h"

namespace linuxsys {

const char* SmbStatusName(SmbStatus status) {
  switch (status) {
    case SmbStatus::kOk:
      return "ok";
    case SmbStatus::kAccessDenied:
      return "access denied";
    case SmbStatus::kNotRunning:
      return "server not running";
    case SmbStatus::kNoConfig:
      return "smb.conf unreadable";
    case SmbStatus::kToolMissing:
      return "tool missing";
    case SmbStatus::kToolFailed:
      return "tool failed";
    case SmbStatus::kBadOutput:
      return "bad tool output";
    case SmbStatus::kTimeout:
      return "timeout";
    case SmbStatus::kFileNotFound:
      return "file not found";
    case SmbStatus::kClientNotFound:
      return "client not found";
    case SmbStatus::kUserNotFound:
      return "user not found";
    case SmbStatus::kNameNotFound:
      return "name not found";
    case SmbStatus::kNotSupported:
      return "not supported";
    case SmbStatus::kInvalidParameter:
      return "invalid parameter";
  }
  return "unknown";
}

int MessengerPort() {
  const char* value = std::getenv("SMB_MESSENGER_PORT");
  if (value && *value) {
    int port = 0;
    std::string_view v(value);
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), port);
    if (ec == std::errc() && end == v.data() + v.size() && port > 0 && port < 65536) return port;
  }
  return 139;
}

namespace {

using Clock = std::chrono::steady_clock;

// smbd unpacks MSG_SMB_CLOSE_FILE as a share-mode entry (76 bytes in Samba 4.17: pid at 0, the
// file id's device, inode and extid at 34, the share file id at 58, uid at 62, vnn at 72) and
// closes the open with that file id and share file id. Samba's Python bindings deliver it
// through Samba's own messaging, as its RPC server's NetFileClose does.
constexpr const char* kCloseFileScript = R"(import struct, sys
import samba.param
from samba.dcerpc import messaging, server_id
from samba.messaging import Messaging
conf, pid, task, vnn, unique, dev, ino, ext, sfid, uid = sys.argv[1:11]
lp = samba.param.LoadParm()
lp.load(conf)
entry = bytearray(76)
struct.pack_into('<I', entry, 0, int(pid))
struct.pack_into('<QQQ', entry, 34, int(dev), int(ino), int(ext))
struct.pack_into('<II', entry, 58, int(sfid), int(uid) & 0xffffffff)
struct.pack_into('<I', entry, 72, int(vnn))
dst = server_id.server_id()
dst.pid = int(pid)
dst.task_id = int(task)
dst.vnn = int(vnn)
dst.unique_id = int(unique)
Messaging(lp_ctx=lp).send(dst, messaging.MSG_SMB_CLOSE_FILE, bytes(entry))
)";

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

using linuxsys::EqualNoCase;

std::uint32_t Seconds(std::int64_t s) {
  if (s < 0) return 0;
  return s > static_cast<std::int64_t>(UINT32_MAX) ? UINT32_MAX : static_cast<std::uint32_t>(s);
}

// The status of a finished tool run that did not succeed.
SmbStatus ToolFailure(const ProcessResult& r) {
  if (!r.started) return r.spawnError == ENOENT ? SmbStatus::kToolMissing : SmbStatus::kToolFailed;
  if (r.timedOut) return SmbStatus::kTimeout;
  if (Contains(r.err, "only works as root") || Contains(r.err, "not root") ||
      Contains(r.err, "Permission denied") || Contains(r.err, "NT_STATUS_ACCESS_DENIED"))
    return SmbStatus::kAccessDenied;
  return SmbStatus::kToolFailed;
}

std::string UserNameOfUid(std::int64_t uid) {
  if (uid >= 0 && uid <= static_cast<std::int64_t>(UINT32_MAX)) {
    passwd entry{}, *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer, sizeof buffer, &found) == 0 && found)
      return found->pw_name;
  }
  return std::to_string(uid);
}

class SambaServerBackend : public SmbServerBackend {
 public:
  explicit SambaServerBackend(SambaTools tools) : tools_(std::move(tools)) {}

  SmbStatus EnumSessions(std::vector<SmbSession>& sessions) override {
    std::lock_guard guard(lock_);
    sessions.clear();
    SambaStatus status;
    if (SmbStatus s = Snapshot(status); s != SmbStatus::kOk) return s;
    sessions = BuildSessions(status);
    return SmbStatus::kOk;
  }

  SmbStatus EnumOpenFiles(std::vector<SmbOpenFile>& files) override {
    std::lock_guard guard(lock_);
    files.clear();
    SambaStatus status;
    if (SmbStatus s = Snapshot(status); s != SmbStatus::kOk) return s;
    files = BuildFiles(status);
    return SmbStatus::kOk;
  }

  SmbStatus CloseFile(std::uint32_t id) override {
    std::lock_guard guard(lock_);
    auto known = std::find_if(openIds_.begin(), openIds_.end(),
                              [&](const auto& entry) { return entry.second == id; });
    if (known == openIds_.end()) return SmbStatus::kFileNotFound;
    const OpenKey key = known->first;
    SambaStatus status;
    if (SmbStatus s = Snapshot(status); s != SmbStatus::kOk) return s;
    const SambaOpenRecord* open = FindOpen(status, key);
    if (!open) {
      openIds_.erase(key);
      return SmbStatus::kFileNotFound;
    }
    ProcessResult r =
        RunProcess({tools_.python, "-I", "-c", kCloseFileScript, SambaConfigPath(),
                    std::to_string(open->server.pid), std::to_string(open->server.taskId),
                    std::to_string(open->server.vnn), std::to_string(open->server.uniqueId),
                    std::to_string(open->fileId.devid), std::to_string(open->fileId.inode),
                    std::to_string(open->fileId.extid), std::to_string(open->shareFileId),
                    std::to_string(open->uid)},
                   Options());
    if (!r.Succeeded()) {
      if (Contains(r.err, "ModuleNotFoundError")) return SmbStatus::kToolMissing;
      return ToolFailure(r);
    }
    // Success is what the server's state shows, not that the request went out.
    return Settle([&](const SambaStatus& now) { return FindOpen(now, key) == nullptr; });
  }

  SmbStatus EndSession(std::string_view client, std::string_view user) override {
    std::lock_guard guard(lock_);
    SambaStatus status;
    if (SmbStatus s = Snapshot(status); s != SmbStatus::kOk) return s;
    bool clientSeen = false;
    std::vector<std::string> ended;
    std::vector<SambaServerId> processes;
    for (const auto& s : status.sessions) {
      if (!client.empty() && !EqualNoCase(s.remoteMachine, client)) continue;
      clientSeen = true;
      if (!user.empty() && !EqualNoCase(s.username, user)) continue;
      ended.push_back(s.sessionId);
      if (std::none_of(processes.begin(), processes.end(),
                       [&](const SambaServerId& p) { return p.pid == s.server.pid; }))
        processes.push_back(s.server);
    }
    if (ended.empty()) return clientSeen ? SmbStatus::kUserNotFound : SmbStatus::kClientNotFound;
    // A session lives in the smbd process serving its connection; Samba's own session delete
    // (srvsvc NetSessDel) ends that process too, which the client sees as a dropped connection.
    for (const auto& p : processes) {
      ProcessResult r = RunProcess({tools_.smbcontrol, "--configfile=" + SambaConfigPath(),
                                    std::to_string(p.pid), "shutdown"},
                                   Options());
      if (!r.Succeeded()) return ToolFailure(r);
    }
    return Settle([&](const SambaStatus& now) {
      return std::none_of(now.sessions.begin(), now.sessions.end(), [&](const auto& s) {
        return std::find(ended.begin(), ended.end(), s.sessionId) != ended.end();
      });
    });
  }

  SmbStatus SendMessage(std::string_view to, std::string_view from,
                        std::string_view text) override {
    std::lock_guard guard(lock_);
    // smbclient reads "name%password" from its user option.
    if (to.empty() || from.find('%') != std::string_view::npos) return SmbStatus::kInvalidParameter;
    std::string address = Resolve(to);
    if (address.empty()) return SmbStatus::kNameNotFound;
    RunOptions options = Options();
    options.input = std::string(text);
    std::vector<std::string> argv = {tools_.smbclient,
                                     "--configfile=" + SambaConfigPath(),
                                     "--option=disable netbios=no",
                                     "--message=" + std::string(to),
                                     "--ip-address=" + address,
                                     "--port=" + std::to_string(MessengerPort()),
                                     "--no-pass"};
    if (!from.empty()) argv.push_back("--user=" + std::string(from));
    ProcessResult r = RunProcess(argv, options);
    if (!r.started || r.timedOut) return ToolFailure(r);
    // smbclient -M exits with 0 even when the server dropped the message.
    std::string said = r.out + r.err;
    if (Contains(said, "Connection to") && Contains(said, "failed"))
      return SmbStatus::kNameNotFound;
    if (!r.Succeeded() || Contains(said, "NT_STATUS_") || Contains(said, "failed"))
      return ToolFailure(r);
    return SmbStatus::kOk;
  }

 private:
  using OpenKey =
      std::tuple<std::uint64_t, std::uint64_t, std::uint32_t>;  // unique id, pid, share file id

  struct Activity {
    std::uint64_t startTicks = 0;
    IoCounters io{};
    Clock::time_point lastChange;
  };

  RunOptions Options() const {
    RunOptions o;
    o.timeout = tools_.timeout;
    return o;
  }

  SmbStatus Snapshot(SambaStatus& status) {
    const std::string conf = SambaConfigPath();
    if (::access(conf.c_str(), R_OK) != 0) return SmbStatus::kNoConfig;
    ProcessResult r =
        RunProcess({tools_.smbstatus, "--configfile=" + conf, "--json", "--byterange"}, Options());
    if (!r.Succeeded()) return ToolFailure(r);
    if (r.truncated || !ParseSambaStatusJson(r.out, status)) return SmbStatus::kBadOutput;
    if (status.sessions.empty()) {
      // smbstatus reads Samba's state files and reports an empty list for a server that is not
      // running; ask the server itself.
      ProcessResult ping = RunProcess(
          {tools_.smbcontrol, "--configfile=" + conf, "--timeout=2", "smbd", "ping"}, Options());
      if (!ping.Succeeded()) {
        if (ping.started && !ping.timedOut && Contains(ping.err + ping.out, "Can't find pid"))
          return SmbStatus::kNotRunning;
        return ToolFailure(ping);
      }
      if (!Contains(ping.out, "PONG")) return SmbStatus::kBadOutput;
    }
    return SmbStatus::kOk;
  }

  template <class Done>
  SmbStatus Settle(Done done) {
    const auto deadline = Clock::now() + tools_.settle;
    for (;;) {
      SambaStatus now;
      if (SmbStatus s = Snapshot(now); s == SmbStatus::kOk && done(now)) return SmbStatus::kOk;
      if (Clock::now() >= deadline) return SmbStatus::kToolFailed;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  static const SambaOpenRecord* FindOpen(const SambaStatus& status, const OpenKey& key) {
    for (const auto& o : status.opens) {
      if (OpenKey{o.server.uniqueId, o.server.pid, o.shareFileId} == key) return &o;
    }
    return nullptr;
  }

  std::uint32_t IdleSeconds(pid_t pid, Clock::time_point now) {
    auto ticks = ProcessStartTicks(pid);
    auto io = ProcessIoCounters(pid);
    if (!ticks || !io) return 0;
    auto it = activity_.find(pid);
    if (it == activity_.end() || it->second.startTicks != *ticks) {
      activity_[pid] = {*ticks, *io, now};
      return 0;
    }
    if (it->second.io != *io) {
      it->second.io = *io;
      it->second.lastChange = now;
    }
    return Seconds(
        std::chrono::duration_cast<std::chrono::seconds>(now - it->second.lastChange).count());
  }

  std::vector<SmbSession> BuildSessions(const SambaStatus& status) {
    const auto now = Clock::now();
    const std::int64_t wallNow = static_cast<std::int64_t>(std::time(nullptr));
    std::string guestAccount = SambaGlobalParameter("guest account").value_or("nobody");

    // Opens name their process and uid only; each goes to the first session of that process
    // and uid.
    std::map<std::pair<std::uint64_t, std::int64_t>, std::uint32_t> opensOf;
    for (const auto& o : status.opens) ++opensOf[{o.server.pid, o.uid}];
    std::map<std::uint64_t, int> sessionsInProcess;
    for (const auto& s : status.sessions) ++sessionsInProcess[s.server.pid];

    std::vector<SmbSession> out;
    std::unordered_map<std::uint64_t, std::uint32_t> idleOf;
    TcpTables tables;
    for (const auto& s : status.sessions) {
      SmbSession e;
      const pid_t pid = static_cast<pid_t>(s.server.pid);
      e.computer = s.remoteMachine;
      e.user = s.username;
      if (s.uid) {
        auto it = opensOf.find({s.server.pid, *s.uid});
        if (it != opensOf.end()) {
          e.opens = it->second;
          opensOf.erase(it);
        }
      }
      std::optional<std::int64_t> start = s.creationTime;
      if (!start && sessionsInProcess[s.server.pid] > 1) start = FirstTreeConnect(status, s);
      if (!start) start = ProcessStartTime(pid);
      if (!start) start = FirstTreeConnect(status, s);
      if (start) e.secondsConnected = Seconds(wallNow - *start);
      auto idle = idleOf.find(s.server.pid);
      e.secondsIdle =
          idle != idleOf.end() ? idle->second : (idleOf[s.server.pid] = IdleSeconds(pid, now));
      e.guest = s.username.empty() || EqualNoCase(s.username, guestAccount);
      e.noEncryption = s.encryptionDegree != "partial" && s.encryptionDegree != "full";
      e.clientType = s.dialect;
      e.transport = "TCP";
      if (auto client = ParseClientEndpoint(s.hostname)) {
        if (auto local = ServerEndpointOf(pid, *client, tables)) e.transport += " " + *local;
      }
      out.push_back(std::move(e));
    }
    // Forget processes that serve no session any more.
    std::erase_if(activity_, [&](const auto& entry) {
      return idleOf.find(static_cast<std::uint64_t>(entry.first)) == idleOf.end();
    });
    return out;
  }

  static std::optional<std::int64_t> FirstTreeConnect(const SambaStatus& status,
                                                      const SambaSessionRecord& s) {
    std::optional<std::int64_t> first;
    for (const auto& t : status.tcons) {
      if (t.sessionId == s.sessionId && t.connectedAt && (!first || *t.connectedAt < *first))
        first = t.connectedAt;
    }
    return first;
  }

  std::vector<SmbOpenFile> BuildFiles(const SambaStatus& status) {
    std::map<std::pair<std::uint64_t, std::int64_t>, std::string> userOf;
    for (const auto& s : status.sessions) {
      if (s.uid) userOf.emplace(std::make_pair(s.server.pid, *s.uid), s.username);
    }
    // Lock records name the file and the process, not the open: a process's locks on a file go
    // to its first open of that file.
    std::vector<std::pair<std::pair<SambaFileId, std::uint64_t>, std::uint32_t>> locks;
    for (const auto& l : status.locks) {
      auto it = std::find_if(locks.begin(), locks.end(), [&](const auto& e) {
        return e.first.first == l.fileId && e.first.second == l.server.pid;
      });
      if (it == locks.end()) {
        locks.push_back({{l.fileId, l.server.pid}, 1});
      } else {
        ++it->second;
      }
    }
    std::map<OpenKey, std::uint32_t> seen;
    std::vector<SmbOpenFile> out;
    for (const auto& o : status.opens) {
      OpenKey key{o.server.uniqueId, o.server.pid, o.shareFileId};
      auto id = openIds_.find(key);
      if (id == openIds_.end()) id = openIds_.emplace(key, nextId_++).first;
      if (nextId_ == 0) nextId_ = 1;
      seen.emplace(key, id->second);
      SmbOpenFile f;
      f.id = id->second;
      f.accessMask = o.accessMask;
      f.path = o.path;
      auto user = userOf.find({o.server.pid, o.uid});
      f.user = user != userOf.end() ? user->second : UserNameOfUid(o.uid);
      auto lock = std::find_if(locks.begin(), locks.end(), [&](const auto& e) {
        return e.first.first == o.fileId && e.first.second == o.server.pid;
      });
      if (lock != locks.end()) {
        f.locks = lock->second;
        locks.erase(lock);
      }
      out.push_back(std::move(f));
    }
    openIds_ = std::move(seen);  // ids of opens that ended are not kept
    return out;
  }

  // The address of the computer named `to`: a session's client endpoint from that machine,
  // this computer for its own NetBIOS name, else the resolver.
  std::string Resolve(std::string_view to) {
    SambaStatus status;
    if (Snapshot(status) == SmbStatus::kOk) {
      for (const auto& s : status.sessions) {
        if (!EqualNoCase(s.remoteMachine, to)) continue;
        if (auto e = ParseClientEndpoint(s.hostname)) {
          char text[INET6_ADDRSTRLEN] = {};
          if (::inet_ntop(e->family, e->address.data(), text, sizeof text)) return text;
        }
      }
    }
    if (EqualNoCase(to, NetbiosName())) return "127.0.0.1";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string name(to);
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, ::freeaddrinfo);
    char text[INET6_ADDRSTRLEN] = {};
    const void* address =
        found->ai_family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_addr);
    if (!::inet_ntop(found->ai_family, address, text, sizeof text)) return {};
    return text;
  }

  SambaTools tools_;
  std::mutex lock_;
  std::unordered_map<pid_t, Activity> activity_;
  std::map<OpenKey, std::uint32_t> openIds_;
  std::uint32_t nextId_ = 1;
};

std::mutex g_backendLock;
std::shared_ptr<SmbServerBackend> g_backend;

}  // namespace

std::unique_ptr<SmbServerBackend> MakeSambaServerBackend(SambaTools tools) {
  return std::make_unique<SambaServerBackend>(std::move(tools));
}

std::shared_ptr<SmbServerBackend> CurrentSmbServerBackend() {
  std::lock_guard guard(g_backendLock);
  if (!g_backend) g_backend = MakeSambaServerBackend();
  return g_backend;
}

void SetSmbServerBackendForTesting(std::unique_ptr<SmbServerBackend> backend) {
  std::lock_guard guard(g_backendLock);
  g_backend = std::move(backend);
}

}  // namespace linuxsys
