// A scriptable SMB server for tests: it holds sessions and open files the test sets, acts on
// them as the real server would (a closed file leaves the list, an ended session too), records
// every call, and fails any operation with the status the test chooses.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/samba_backend.h"

namespace linuxsys {

class FakeSmbServerBackend : public SmbServerBackend {
 public:
  struct SentMessage {
    std::string to, from, text;
  };
  struct EndedSession {
    std::string client, user;
  };
  struct State {
    std::vector<SmbSession> sessions;
    std::vector<SmbOpenFile> files;
    SmbStatus enumSessionsStatus = SmbStatus::kOk;
    SmbStatus enumFilesStatus = SmbStatus::kOk;
    SmbStatus closeStatus = SmbStatus::kOk;
    SmbStatus endStatus = SmbStatus::kOk;
    SmbStatus sendStatus = SmbStatus::kOk;
    int enumSessionsCalls = 0;
    int enumFilesCalls = 0;
    std::vector<std::uint32_t> closedFiles;
    std::vector<EndedSession> endedSessions;
    std::vector<SentMessage> messages;
  };

  SmbStatus EnumSessions(std::vector<SmbSession>& sessions) override;
  SmbStatus EnumOpenFiles(std::vector<SmbOpenFile>& files) override;
  SmbStatus CloseFile(std::uint32_t id) override;
  SmbStatus EndSession(std::string_view client, std::string_view user) override;
  SmbStatus SendMessage(std::string_view to, std::string_view from, std::string_view text) override;

  // Runs `change` on the state under the fake's lock (tests may script from other threads).
  template <class F>
  auto With(F&& change) {
    std::lock_guard guard(lock_);
    return change(state_);
  }
  State Snapshot() {
    std::lock_guard guard(lock_);
    return state_;
  }

 private:
  std::mutex lock_;
  State state_;
};

}  // namespace linuxsys
