// Several processes on one database, writers killed at random moments, and the lock timeout.
// Each test starts its own processes and ends them; the figures they measure are printed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/files.h"
#include "platform/win32/handles.h"
#include "platform/win32/winerror.h"
#include "settingsdb/Reestr.h"
#include "settingsdb/ReestrDump.h"
#include "tests/settingsdb/ReestrFixtures.h"

namespace {

using fixture::Scratch;
using Clock = std::chrono::steady_clock;

const std::u16string kSettings = u"./orvKestrow/Settings/";
const std::uint8_t kOne = 1;

std::u16string U(const std::string& text) {
  return win32::Utf16FromUtf8(text);
}

using fixture::Outcome;

void PutInt(Reestr& db, const std::u16string& folder, const std::u16string& name,
            std::int32_t value) {
  db.WriteValue(folder.c_str(), name.c_str(), &value, 4, Reestr::Binary, 0);
}

// Throws the database's code; a value of another length or type reads as a wrong value.
std::int32_t GetInt(Reestr& db, const std::u16string& folder, const std::u16string& name) {
  std::int32_t value = 0, length = 0, type = 0;
  db.ReadValue(folder.c_str(), name.c_str(), &value, sizeof value, &length, &type, 0);
  return length == 4 && type == Reestr::Binary ? value : INT32_MIN;
}

// The inspector's view: empty for a sound tree whose `prev` links all agree.
std::string TreeProblems(Reestr& db) {
  std::ostringstream out;
  auto damage = PrintReestr(db, out);
  if (damage) return std::string(ReestrErrorName(damage->code)) + " at " + damage->where;
  const std::string text = out.str();
  if (text.find("note: prev") != std::string::npos) return text;
  return {};
}

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (::pipe2(fd, O_CLOEXEC) != 0) std::abort();
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (fd[0] >= 0) ::close(fd[0]);
    fd[0] = -1;
  }
  void CloseWrite() {
    if (fd[1] >= 0) ::close(fd[1]);
    fd[1] = -1;
  }
  int r() const { return fd[0]; }
  int w() const { return fd[1]; }
};

bool WaitReadable(int fd, int milliseconds) {
  pollfd p = {fd, POLLIN, 0};
  return ::poll(&p, 1, milliseconds) == 1;
}

// ---- several processes at once ----

TEST(ReestrReliability, ConcurrentProcessesLoseNoWrite) {
  constexpr int kProcesses = 4;
  constexpr int kKeys = 200;
  constexpr int kBatch = 10;
  constexpr int kRounds = 2;
  const std::u16string folders[] = {kSettings + u"frmMain/", kSettings + u"frmInformation/",
                                    kSettings + u"frmConnectionNotifyPopup/"};
  const std::u16string folderNames[] = {u"frmMain", u"frmInformation", u"frmConnectionNotifyPopup"};
  auto key = [](int p, int i) { return U("p" + std::to_string(p) + "key" + std::to_string(i)); };
  auto value = [](int round, int p, int i) { return round * 1000000 + p * 1000 + i; };

  Scratch scratch;
  scratch.Write(fixture::DeliveredIndex(), fixture::DeliveredData());
  Pipe stats;
  const auto start = Clock::now();
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid > 0) {
      children.push_back(pid);
      continue;
    }
    // The worker: a lock timeout is what a busy database gives, so it waits and tries again.
    std::int32_t timeouts = 0;
    auto retry = [&](const std::function<void()>& op) {
      for (;;) {
        try {
          op();
          return;
        } catch (Reestr::ErrorCode code) {
          if (code != Reestr::ecLockTimeout) throw;
          ++timeouts;
        }
      }
    };
    int result = 0;
    try {
      {
        Reestr db(scratch.data(), scratch.index(), 0);
        for (const auto& name : folderNames) {
          retry(
              [&] { db.WriteValue(kSettings.c_str(), name.c_str(), &kOne, 1, Reestr::Folder, 0); });
        }
      }
      for (int round = 0; round < kRounds && result == 0; ++round) {
        for (int first = 0; first < kKeys && result == 0; first += kBatch) {
          Reestr db(scratch.data(), scratch.index(), 0);
          for (int i = first; i < first + kBatch; ++i) {
            retry([&] { PutInt(db, folders[i % 3], key(p, i), value(round, p, i)); });
          }
          for (int i = first; i < first + kBatch; ++i) {
            std::int32_t got = 0;
            retry([&] { got = GetInt(db, folders[i % 3], key(p, i)); });
            if (got != value(round, p, i)) result = 10;
          }
        }
      }
    } catch (Reestr::ErrorCode) {
      result = 20;
    }
    if (::write(stats.w(), &timeouts, sizeof timeouts) != sizeof timeouts) result = 30;
    ::_exit(result);
  }
  stats.CloseWrite();
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "worker status " << status;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::int32_t timeouts = 0, one = 0;
  while (::read(stats.r(), &one, sizeof one) == sizeof one) timeouts += one;

  Reestr db(scratch.data(), scratch.index(), 1);
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kKeys; ++i) {
      EXPECT_EQ(GetInt(db, folders[i % 3], key(p, i)), value(kRounds - 1, p, i))
          << "process " << p << " key " << i;
    }
  }
  for (int f = 0; f < 3; ++f) {
    int keys = 0;
    for (int i = 0; i < kKeys; ++i) keys += i % 3 == f;
    EXPECT_EQ(db.CountEntries(folders[f].c_str()), kProcesses * keys);
  }
  EXPECT_EQ(db.CountEntries(kSettings.c_str()), 3);
  EXPECT_EQ(TreeProblems(db), "");
  std::cout << "concurrency: " << kProcesses << " processes x " << kKeys << " keys x " << kRounds
            << " rounds, " << kProcesses * kKeys * kRounds * 2 << " operations in " << seconds
            << " s, " << timeouts << " lock timeouts retried\n";
}

// ---- writers killed at random moments ----

// The writer's deterministic program: step seq of every run.
struct Step {
  enum Kind { TopLevel, Folder, Key } kind;
  std::u16string folder;
  std::u16string name;
  std::int32_t value;
};

Step StepAt(int run, int seq) {
  const std::string decade = std::to_string(seq / 10 % 8);
  const int k = seq % 10;
  if (k == 0) return {Step::TopLevel, u"./", U("T" + decade), 0};
  if (k == 1) return {Step::Folder, kSettings, U("F" + decade), 0};
  return {Step::Key, kSettings + U("F" + decade + "/"), U("k" + std::to_string(seq % 20)),
          run * 100000 + seq};
}

void Apply(Reestr& db, const Step& step) {
  switch (step.kind) {
    case Step::TopLevel:
      db.WriteValue(step.folder.c_str(), step.name.c_str(), nullptr, 0, Reestr::Folder, 0);
      break;
    case Step::Folder:
      db.WriteValue(step.folder.c_str(), step.name.c_str(), &kOne, 1, Reestr::Folder, 0);
      break;
    case Step::Key:
      PutInt(db, step.folder, step.name, step.value);
      break;
  }
}

// Runs the program until killed, telling the parent after each step that has finished.
[[noreturn]] void Writer(const Scratch& scratch, int run, int reportFd) {
  constexpr int kSteps = 100000;
  constexpr int kBatch = 50;
  try {
    for (int seq = 0; seq < kSteps;) {
      Reestr db(scratch.data(), scratch.index(), 0);
      for (int end = seq + kBatch; seq < end; ++seq) {
        Apply(db, StepAt(run, seq));
        std::int32_t done = seq;
        if (::write(reportFd, &done, sizeof done) != sizeof done) ::_exit(3);
      }
    }
  } catch (Reestr::ErrorCode) {
    ::_exit(2);
  }
  ::_exit(0);
}

TEST(ReestrReliability, KilledWritersLeaveASoundDatabase) {
  constexpr int kKills = 200;
  constexpr int kMaxRuns = 400;
  Scratch scratch;
  std::mt19937 random(4242);
  std::uniform_int_distribution<int> delay(0, 6000);  // microseconds after the first step
  // What must be there: "folder\nname" -> value (0 for folders), from the finished steps.
  std::map<std::u16string, std::int32_t> expected;
  int kills = 0, runs = 0, stepsDone = 0, inFlightLanded = 0, inFlightLost = 0;
  const auto start = Clock::now();
  for (; kills < kKills && runs < kMaxRuns; ++runs) {
    if (runs % 5 == 0) {
      scratch.Write(fixture::DeliveredIndex(), fixture::DeliveredData());
      expected.clear();
    }
    Pipe reports;
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      reports.CloseRead();
      Writer(scratch, runs, reports.w());
    }
    reports.CloseWrite();
    ASSERT_TRUE(WaitReadable(reports.r(), 30000)) << "the writer never finished a step";
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    // A writer that ran out of steps before the kill is checked all the same.
    ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
        << "the writer failed with status " << status;
    kills += WIFSIGNALED(status);

    int finished = 0;
    std::int32_t seq;
    while (::read(reports.r(), &seq, sizeof seq) == sizeof seq) {
      ASSERT_EQ(seq, finished) << "steps reported out of order";
      ++finished;
    }
    stepsDone += finished;
    auto id = [](const Step& s) { return s.folder + u"\n" + s.name; };
    for (int i = 0; i < finished; ++i) {
      const Step s = StepAt(runs, i);
      expected[id(s)] = s.kind == Step::Key ? s.value : 0;
    }
    const Step inFlight = StepAt(runs, finished);

    // The database opens, and every finished step reads back; the step the kill interrupted
    // is either wholly there or not at all.
    std::unique_ptr<Reestr> db;
    ASSERT_EQ(Outcome([&] { db = std::make_unique<Reestr>(scratch.data(), scratch.index(), 1); }),
              0)
        << "run " << runs;
    for (const auto& [where, value] : expected) {
      const auto cut = where.find(u'\n');
      const std::u16string folder = where.substr(0, cut), name = where.substr(cut + 1);
      std::int32_t got = 0, length = 0, type = 0;
      std::uint8_t bytes[4] = {};
      int code = Outcome(
          [&] { db->ReadValue(folder.c_str(), name.c_str(), bytes, 4, &length, &type, 0); });
      ASSERT_EQ(code, 0) << "run " << runs << " lost " << win32::Utf8FromUtf16(name);
      if (value == 0) continue;
      std::memcpy(&got, bytes, 4);
      if (id(inFlight) == where && got == inFlight.value) {
        expected[where] = got;
        continue;
      }
      ASSERT_EQ(got, value) << "run " << runs << " key " << win32::Utf8FromUtf16(name);
    }
    if (inFlight.kind != Step::Key || expected.count(id(inFlight)) == 0) {
      // A new entry: either linked or not, never half.
      std::uint8_t bytes[4];
      std::int32_t length = 0, type = 0;
      int code = Outcome([&] {
        db->ReadValue(inFlight.folder.c_str(), inFlight.name.c_str(), bytes, 4, &length, &type, 0);
      });
      if (code == 0) {
        ++inFlightLanded;
        expected[id(inFlight)] = inFlight.kind == Step::Key ? inFlight.value : 0;
        if (inFlight.kind == Step::Key) {
          std::int32_t got;
          std::memcpy(&got, bytes, 4);
          EXPECT_EQ(got, inFlight.value);
        }
      } else {
        ++inFlightLost;
      }
    }
    ASSERT_EQ(TreeProblems(*db), "") << "run " << runs;
  }
  EXPECT_GE(kills, kKills);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::cout << "crash safety: " << kills << " writers killed in " << runs << " runs, " << stepsDone
            << " finished steps all read back, " << inFlightLanded << " interrupted new entries"
            << " found whole and " << inFlightLost << " absent, " << seconds << " s\n";
}

// ---- the lock timeout ----

// Another process holding byte 0 of one file until told to let go.
class Holder {
 public:
  explicit Holder(const char16_t* path) {
    pid_ = ::fork();
    if (pid_ == 0) {
      ready_.CloseRead();
      release_.CloseWrite();
      HANDLE h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
      const char ok = h != INVALID_HANDLE_VALUE && LockFile(h, 0, 0, 1, 0) ? 'L' : 'E';
      if (::write(ready_.w(), &ok, 1) != 1) ::_exit(1);
      WaitReadable(release_.r(), 60000);
      ::_exit(0);
    }
    ready_.CloseWrite();
    release_.CloseRead();
    char ok = 0;
    locked_ =
        pid_ > 0 && WaitReadable(ready_.r(), 30000) && ::read(ready_.r(), &ok, 1) == 1 && ok == 'L';
  }
  ~Holder() { Release(); }
  bool locked() const { return locked_; }
  void Release() {
    if (pid_ <= 0) return;
    release_.CloseWrite();
    int status;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  int releaseFd() const { return release_.w(); }

 private:
  pid_t pid_ = -1;
  bool locked_ = false;
  Pipe ready_, release_;
};

class LockTimeoutTest : public ::testing::Test {
 protected:
  void SetUp() override { scratch_.Write(fixture::DeliveredIndex(), fixture::DeliveredData()); }

  // Whether some other handle can take byte 0 of the file right now.
  bool Free(const char16_t* path) {
    HANDLE h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    const bool free = h != INVALID_HANDLE_VALUE && LockFile(h, 0, 0, 1, 0);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return free;
  }

  // Runs op against a held lock; returns its outcome, the attempts refused and the seconds.
  int TimedOutcome(const std::function<void()>& op, std::uint64_t& refused, double& seconds) {
    const auto before = win32::testing::LockViolationCount();
    const auto start = Clock::now();
    int code = Outcome(op);
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    refused = win32::testing::LockViolationCount() - before;
    return code;
  }

  Scratch scratch_;
};

TEST_F(LockTimeoutTest, HeldDataFileGivesLockTimeoutAfter20Attempts) {
  Reestr db(scratch_.data(), scratch_.index(), 1);
  Holder holder(scratch_.data());
  ASSERT_TRUE(holder.locked());
  std::uint64_t refused = 0;
  double seconds = 0;
  std::int32_t length, type;
  int code = TimedOutcome(
      [&] { db.ReadValue(u"./", u"orvKestrow", nullptr, 0, &length, &type, 0); }, refused, seconds);
  EXPECT_EQ(code, Reestr::ecLockTimeout);
  EXPECT_EQ(refused, 20u);
  EXPECT_LT(seconds, 10.0);
  EXPECT_TRUE(Free(scratch_.index())) << "the index lock was left held";
  std::cout << "lock timeout: data file held, " << refused << " attempts, " << seconds << " s\n";
  holder.Release();
  EXPECT_EQ(Outcome([&] { db.ReadValue(u"./", u"orvKestrow", nullptr, 0, &length, &type, 0); }), 0);
}

TEST_F(LockTimeoutTest, HeldIndexFileGivesLockTimeoutAndFreesTheDataFile) {
  Reestr db(scratch_.data(), scratch_.index(), 1);
  Holder holder(scratch_.index());
  ASSERT_TRUE(holder.locked());
  std::uint64_t refused = 0;
  double seconds = 0;
  int code = TimedOutcome([&] { db.WriteValue(u"./", u"Other", nullptr, 0, Reestr::Folder, 0); },
                          refused, seconds);
  EXPECT_EQ(code, Reestr::ecLockTimeout);
  EXPECT_EQ(refused, 20u);
  EXPECT_TRUE(Free(scratch_.data())) << "the data lock was left held";
  EXPECT_EQ(scratch_.Index(), fixture::DeliveredIndex());
  std::cout << "lock timeout: index file held, " << refused << " attempts, " << seconds << " s\n";
}

TEST_F(LockTimeoutTest, TwoObjectsInOneProcessExcludeEachOther) {
  Reestr a(scratch_.data(), scratch_.index(), 1);
  Reestr b(scratch_.data(), scratch_.index(), 1);
  a.Lock();
  std::uint64_t refused = 0;
  double seconds = 0;
  EXPECT_EQ(TimedOutcome([&] { b.CountEntries(u"./"); }, refused, seconds), Reestr::ecLockTimeout);
  EXPECT_EQ(refused, 20u);
  a.Unlock();
  EXPECT_EQ(b.CountEntries(u"./"), 1);
}

// A lock let go while the operation is still trying is taken, and the operation succeeds.
TEST_F(LockTimeoutTest, LockReleasedInTimeIsTaken) {
  Reestr db(scratch_.data(), scratch_.index(), 1);
  Holder holder(scratch_.data());
  ASSERT_TRUE(holder.locked());
  const auto before = win32::testing::LockViolationCount();
  std::thread releaser([&] {
    while (win32::testing::LockViolationCount() < before + 3) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    holder.Release();
  });
  std::int32_t length, type;
  int code = Outcome([&] { db.ReadValue(u"./", u"orvKestrow", nullptr, 0, &length, &type, 0); });
  releaser.join();
  EXPECT_EQ(code, 0);
  const auto refused = win32::testing::LockViolationCount() - before;
  EXPECT_GE(refused, 3u);
  EXPECT_LT(refused, 20u);
}

}  // namespace
