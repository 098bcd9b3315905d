// This computer under a known name, its SMB server replaced by the scriptable fake.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/samba_backend.h"
#include "platform/linux/samba_config.h"
#include "platform/linux/samba_fake_backend.h"
#include "tests/common/temp_folder.h"

namespace testsupport {

class FakeServer {
 public:
  explicit FakeServer(const std::string& netbiosName = "TESTHOST") {
    std::ofstream(folder_ + "/smb.conf") << "[global]\n netbios name = " << netbiosName << "\n";
    saved_ = linuxsys::SambaConfigPath();
    linuxsys::SetSambaConfigPath(folder_ + "/smb.conf");
    auto fake = std::make_unique<linuxsys::FakeSmbServerBackend>();
    fake_ = fake.get();
    linuxsys::SetSmbServerBackendForTesting(std::move(fake));
  }
  ~FakeServer() {
    linuxsys::SetSmbServerBackendForTesting(nullptr);
    linuxsys::SetSambaConfigPath(saved_);
  }
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  linuxsys::FakeSmbServerBackend& fake() { return *fake_; }
  void SetSessions(std::vector<linuxsys::SmbSession> sessions) {
    fake_->With([&](auto& s) { s.sessions = std::move(sessions); });
  }

 private:
  TempFolder temp_{"kestrow-fake"};
  const std::string folder_ = temp_.str();
  std::string saved_;
  linuxsys::FakeSmbServerBackend* fake_;
};

inline linuxsys::SmbSession Session(std::string user, std::string computer, std::uint32_t opens = 0,
                                    std::uint32_t connected = 0, std::uint32_t idle = 0,
                                    std::string transport = "TCP", bool guest = false) {
  linuxsys::SmbSession s;
  s.user = std::move(user);
  s.computer = std::move(computer);
  s.opens = opens;
  s.secondsConnected = connected;
  s.secondsIdle = idle;
  s.guest = guest;
  s.clientType = "SMB3_11";
  s.transport = std::move(transport);
  return s;
}

}  // namespace testsupport
