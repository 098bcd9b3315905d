#include "tests/support/private_samba.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/linux/subprocess.h"

namespace smbtest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using linuxsys::ChildProcess;
using linuxsys::RunProcess;

namespace {

constexpr const char* kAccountMarker = "smbtest harness ";  // GECOS of our accounts, then the pid
constexpr const char* kDirPrefix = "smbtest-";              // temporary folders: smbtest-PID-XXXXXX

std::atomic<int> g_instance{0};

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("PrivateSamba: " + what);
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ProcessAlive(long pid) {
  return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

long LeadingNumber(std::string_view s) {
  long n = 0;
  std::size_t i = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) n = n * 10 + (s[i] - '0');
  return i == 0 ? -1 : n;
}

std::string FindProgram(const std::string& name, const std::vector<std::string>& dirs) {
  for (const auto& d : dirs) {
    fs::path p = fs::path(d) / name;
    if (::access(p.c_str(), X_OK) == 0) return p.string();
  }
  return name;
}

// Accounts, processes and folders left by a harness whose process is gone.
void RemoveLeftovers() {
  std::istringstream passwd(ReadText("/etc/passwd"));
  std::string line;
  while (std::getline(passwd, line)) {
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string x; std::getline(fields, x, ':');) f.push_back(x);
    if (f.size() < 5 || f[4].rfind(kAccountMarker, 0) != 0) continue;
    if (ProcessAlive(LeadingNumber(std::string_view(f[4]).substr(std::strlen(kAccountMarker)))))
      continue;
    RunProcess({"userdel", f[0]});
  }
  const fs::path tmp = fs::temp_directory_path();
  std::vector<std::string> stale;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(tmp, ec)) {
    std::string name = e.path().filename().string();
    if (name.rfind(kDirPrefix, 0) != 0) continue;
    if (!ProcessAlive(LeadingNumber(std::string_view(name).substr(std::strlen(kDirPrefix)))))
      stale.push_back(e.path().string());
  }
  if (stale.empty()) return;
  // Servers and clients of a killed harness still name its smb.conf on their command line.
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    long pid = LeadingNumber(e.path().filename().string());
    if (pid <= 0 || pid == ::getpid()) continue;
    std::string cmdline = ReadText(e.path() / "cmdline");
    std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
    for (const auto& dir : stale) {
      if (cmdline.find(dir + "/") != std::string::npos) ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
  }
  for (const auto& dir : stale) fs::remove_all(dir, ec);
}

bool PortFree(int port) {
  auto tryBind = [&](int family) {
    int s = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return family == AF_INET6;  // no IPv6 here: only IPv4 matters
    int rc;
    if (family == AF_INET) {
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<uint16_t>(port));
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      rc = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    } else {
      sockaddr_in6 a{};
      a.sin6_family = AF_INET6;
      a.sin6_port = htons(static_cast<uint16_t>(port));
      a.sin6_addr = in6addr_loopback;
      rc = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
      if (rc != 0 && errno == EADDRNOTAVAIL) rc = 0;
    }
    ::close(s);
    return rc == 0;
  };
  return tryBind(AF_INET) && tryBind(AF_INET6);
}

bool Accepts(int port) {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

void AddAccount(const std::string& name) {
  for (int attempt = 0;; ++attempt) {
    auto r = RunProcess({"useradd", "--no-create-home", "--no-user-group", "--gid", "nogroup",
                         "--shell", "/usr/sbin/nologin", "--home-dir", "/nonexistent", "--comment",
                         kAccountMarker + std::to_string(::getpid()), name});
    if (r.Succeeded()) return;
    // 10: the password files are locked by a useradd running in parallel.
    if (!(r.exited && r.exitCode == 10) || attempt >= 50) Fail("useradd " + name + ": " + r.err);
    std::this_thread::sleep_for(100ms);
  }
}

void RemoveAccount(const std::string& name) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    auto r = RunProcess({"userdel", name});
    if (r.Succeeded() || !(r.exited && r.exitCode == 10)) return;
    std::this_thread::sleep_for(100ms);
  }
}

}  // namespace

// --- SmbClientSession -------------------------------------------------------------------------

SmbClientSession::~SmbClientSession() = default;

pid_t SmbClientSession::Pid() const {
  return process_ ? process_->Pid() : -1;
}

std::string SmbClientSession::Run(const std::string& command) {
  if (!process_ || !process_->Running()) return {};
  // An unknown command as a marker: smbclient answers "NAME: command not found" after the
  // command before it has finished. smbclient polls its input before each line but reads it
  // buffered, so a line that arrives with the one before it would wait unread: the marker goes
  // out once the command has been taken from the pipe.
  std::string marker = "kstmark" + std::to_string(++marker_);
  if (!process_->Write(command + "\n")) return {};
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (process_->UnreadInput() > 0 && std::chrono::steady_clock::now() < deadline &&
         process_->Running())
    std::this_thread::sleep_for(2ms);
  if (!process_->Write(marker + "\n")) return {};
  std::string done = marker + ": command not found";
  std::size_t end = process_->WaitForOutput(done, seen_, 15s);
  const std::string& all = process_->Output();
  if (end == std::string::npos) {
    std::string rest = seen_ <= all.size() ? all.substr(seen_) : std::string();
    seen_ = all.size();
    return rest;
  }
  std::string out = all.substr(seen_, end - done.size() - seen_);
  seen_ = end;
  return out;
}

int SmbClientSession::Open(const std::string& name) {
  std::string out = Run("open \"" + name + "\"");
  auto at = out.find(" fnum ");
  if (at == std::string::npos) return -1;
  return static_cast<int>(LeadingNumber(std::string_view(out).substr(at + 6)));
}

bool SmbClientSession::Close(int fnum) {
  std::string out = Run("close " + std::to_string(fnum));
  return process_ && process_->Running() && out.find("NT_STATUS_") == std::string::npos &&
         out.find("failed") == std::string::npos;
}

bool SmbClientSession::Lock(int fnum, bool write, unsigned long long start,
                            unsigned long long length) {
  char args[96];
  std::snprintf(args, sizeof args, "lock %d %s %llx %llx", fnum, write ? "w" : "r", start, length);
  std::string out = Run(args);
  return process_ && process_->Running() && out.find("failed") == std::string::npos &&
         out.find("NT_STATUS_") == std::string::npos &&
         out.find("must be issued") == std::string::npos;
}

bool SmbClientSession::Disconnected() {
  if (!process_ || !process_->Running()) return true;
  std::string out = Run("ls");
  return !process_->Running() || out.find("NT_STATUS_") != std::string::npos || out.empty();
}

void SmbClientSession::Quit() {
  if (process_) process_->Stop(2s);
}

// --- PrivateSamba -----------------------------------------------------------------------------

PrivateSamba::PrivateSamba() : PrivateSamba(Options{}) {}

PrivateSamba::PrivateSamba(Options options) {
  try {
    Start(options);
  } catch (...) {
    Cleanup();
    throw;
  }
}

PrivateSamba::~PrivateSamba() {
  Cleanup();
}

pid_t PrivateSamba::SmbdPid() const {
  return smbd_ ? smbd_->Pid() : -1;
}

void PrivateSamba::Start(const Options& options) {
  if (::geteuid() != 0) Fail("needs root (it creates users and runs smbd)");
  RemoveLeftovers();
  const int instance = ++g_instance;
  const std::string tag = std::to_string(::getpid()) + "x" + std::to_string(instance);

  std::string pattern = (fs::temp_directory_path() / (kDirPrefix + tag + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) Fail(std::string("mkdtemp: ") + std::strerror(errno));
  dir_ = pattern;
  ::chmod(dir_.c_str(), 0755);  // the message command runs as the guest account
  for (const char* sub :
       {"lock", "state", "cache", "pid", "private", "ncalrpc", "log", "share", "messages"})
    fs::create_directories(fs::path(dir_) / sub);
  share_ = dir_ + "/share";
  messages_ = dir_ + "/messages";
  ::chmod(share_.c_str(), 01777);
  ::chmod(messages_.c_str(), 01777);
  ::chmod((dir_ + "/private").c_str(), 0700);
  conf_ = dir_ + "/smb.conf";
  netbios_ = ("KST" + tag).substr(0, 15);
  std::transform(netbios_.begin(), netbios_.end(), netbios_.begin(),
                 [](char c) { return c == 'x' ? 'X' : c; });

  std::vector<std::string> names = options.userNames;
  if (names.empty()) names = {"kst" + tag + "a", "kst" + tag + "b"};
  std::mt19937 random{std::random_device{}()};

  std::uniform_int_distribution<int> ports(20000, 59999);
  for (int attempt = 0;; ++attempt) {
    if (attempt >= 8) Fail("no free port for smbd");
    port_ = ports(random);
    if (!PortFree(port_)) continue;
    WriteConfig();
    if (users_.empty()) {
      for (const auto& name : names) {
        AddAccount(name);
        createdAccounts_.push_back(name);
        SambaUser user{name, "pw-" + name};
        linuxsys::RunOptions twice;
        twice.input = user.password + "\n" + user.password + "\n";
        auto r = RunProcess({"smbpasswd", "-c", conf_, "-a", "-s", name}, twice);
        if (!r.Succeeded()) Fail("smbpasswd -a " + name + ": " + r.err + r.out);
        users_.push_back(user);
      }
    }
    int error = 0;
    ChildProcess::Options quiet;
    quiet.pipeInput = false;      // smbd serves a socket on its stdin as an inetd client
    quiet.captureOutput = false;  // it logs into the log folder
    smbd_ = ChildProcess::Start({FindProgram("smbd", {"/usr/sbin", "/usr/bin"}), "--foreground",
                                 "--no-process-group", "--configfile=" + conf_},
                                quiet, &error);
    if (!smbd_) Fail(std::string("cannot start smbd: ") + std::strerror(error));
    const auto deadline = std::chrono::steady_clock::now() + options.startTimeout;
    bool ready = false;
    while (std::chrono::steady_clock::now() < deadline) {
      if (!smbd_->Running()) break;  // for example the port was taken meanwhile
      if (Accepts(port_)) {
        ready = true;
        break;
      }
      std::this_thread::sleep_for(50ms);
    }
    if (ready) return;
    bool ended = !smbd_->Running();
    smbd_.reset();
    if (!ended) Fail("smbd did not accept connections in time; see " + dir_ + "/log");
  }
}

void PrivateSamba::WriteConfig() {
  const std::string& d = dir_;
  std::ofstream conf(conf_);
  conf << "[global]\n"
       << "  netbios name = " << netbios_ << "\n"
       << "  workgroup = SMBTEST\n"
       << "  server role = standalone server\n"
       << "  smb ports = " << port_ << "\n"
       << "  interfaces = lo\n"
       << "  bind interfaces only = yes\n"
       << "  disable netbios = yes\n"
       << "  lock directory = " << d << "/lock\n"
       << "  state directory = " << d << "/state\n"
       << "  cache directory = " << d << "/cache\n"
       << "  pid directory = " << d << "/pid\n"
       << "  private dir = " << d << "/private\n"
       << "  ncalrpc dir = " << d << "/ncalrpc\n"
       << "  binddns dir = " << d << "/private\n"
       << "  log file = " << d << "/log/log.%m\n"
       << "  max log size = 1000\n"
       << "  passdb backend = tdbsam:" << d << "/private/passdb.tdb\n"
       << "  map to guest = Bad User\n"
       << "  guest account = nobody\n"
       << "  load printers = no\n"
       << "  printing = bsd\n"
       << "  printcap name = /dev/null\n"
       << "  disable spoolss = yes\n"
       << "  rpc start on demand helpers = no\n"
       // Messenger messages and POSIX locks are SMB1.
       << "  server min protocol = NT1\n"
       << "  unix extensions = yes\n"
       << "  message command = /bin/sh -c 't=$(/bin/mktemp " << messages_
       << "/.in.XXXXXX) && { echo %f; /bin/cat %s; } > $t && /bin/mv $t $t.msg; /bin/rm -f %s' &\n"
       << "[share]\n"
       << "  path = " << share_ << "\n"
       << "  read only = no\n"
       << "  guest ok = yes\n"
       << "  create mask = 0666\n"
       // An idle smbclient reads no oplock breaks, which would stall other clients' opens.
       << "  oplocks = no\n"
       << "  level2 oplocks = no\n"
       << "  smb2 leases = no\n";
  if (!conf) Fail("cannot write " + conf_);
}

std::string PrivateSamba::CreateFile(const std::string& name, const std::string& content) {
  fs::path p = fs::path(share_) / name;
  fs::create_directories(p.parent_path());
  {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) Fail("cannot write " + p.string());
  }
  ::chmod(p.c_str(), 0666);
  return name;
}

SmbClientSession& PrivateSamba::Connect(const SambaUser& user, ClientOptions options) {
  std::vector<std::string> argv = {"stdbuf",
                                   "-oL",
                                   "-eL",
                                   "smbclient",
                                   "//" + netbios_ + "/share",
                                   "--ip-address=" + options.address,
                                   "--port=" + std::to_string(port_),
                                   "--configfile=" + conf_};
  std::vector<std::string> env;
  if (options.guest) {
    argv.push_back("--no-pass");
  } else {
    argv.push_back("--user=" + user.name);
    env.push_back("PASSWD=" + user.password);
  }
  if (options.posixLocks) {
    argv.push_back("--max-protocol=NT1");
    argv.push_back("--option=client min protocol=NT1");
  }
  if (options.encrypt) argv.push_back("--client-protection=encrypt");
  int error = 0;
  ChildProcess::Options captured;
  captured.env = env;
  auto process = ChildProcess::Start(argv, captured, &error);
  if (!process) Fail(std::string("cannot start smbclient: ") + std::strerror(error));
  if (process->WaitForOutput("Try \"help\"", 0, 15s) == std::string::npos) {
    std::string said = process->Output();
    Fail("smbclient did not connect as " + (options.guest ? "guest" : user.name) + ": " + said);
  }
  std::unique_ptr<SmbClientSession> client(new SmbClientSession);
  client->process_ = std::move(process);
  client->seen_ = client->process_->Output().size();
  if (options.posixLocks && client->Run("posix").find("doesn't support") != std::string::npos)
    Fail("the server offers no UNIX extensions");
  clients_.push_back(std::move(client));
  return *clients_.back();
}

std::vector<ReceivedMessage> PrivateSamba::ReceivedMessages() const {
  std::vector<std::pair<fs::file_time_type, fs::path>> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(messages_, ec)) {
    if (e.path().extension() == ".msg") files.push_back({e.last_write_time(ec), e.path()});
  }
  std::sort(files.begin(), files.end());
  std::vector<ReceivedMessage> out;
  for (const auto& [time, path] : files) {
    std::string text = ReadText(path);
    auto nl = text.find('\n');
    out.push_back({text.substr(0, nl), nl == std::string::npos ? "" : text.substr(nl + 1)});
  }
  return out;
}

void PrivateSamba::Cleanup() {
  for (auto& c : clients_) c->Quit();
  clients_.clear();
  if (smbd_) smbd_->Stop(5s);
  smbd_.reset();
  for (const auto& name : createdAccounts_) RemoveAccount(name);
  createdAccounts_.clear();
  if (!dir_.empty()) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
}

}  // namespace smbtest
