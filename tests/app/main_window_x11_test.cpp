// The program started on a real X server opens its main window over real sessions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/temp_folder.h"
#include "tests/support/private_samba.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class Spawned {
 public:
  Spawned(std::vector<std::string> argv, std::vector<std::string> env, const std::string& log) {
    std::vector<char*> args, envp;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Spawned() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;
  bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  pid_t pid_ = -1;
};

struct FoundWindow {
  int width, height;
};

// A viewable window with that title anywhere below the root (there is no window manager).
std::optional<FoundWindow> FindWindow(Display* display, Window at, const std::string& title) {
  char* name = nullptr;
  if (XFetchName(display, at, &name) && name) {
    const bool same = title == name;
    XFree(name);
    XWindowAttributes attributes;
    if (same && XGetWindowAttributes(display, at, &attributes) &&
        attributes.map_state == IsViewable)
      return FoundWindow{attributes.width, attributes.height};
  }
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  std::optional<FoundWindow> found;
  if (XQueryTree(display, at, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) found = FindWindow(display, children[i], title);
    if (children) XFree(children);
  }
  return found;
}

TEST(MainWindowOnX11, OpensOverTheSessionsOfAPrivateSamba) {
  testsupport::TempFolder temp("kestrow-x11");
  smbtest::PrivateSamba samba;
  samba.Connect(samba.Users().at(0));

  // A display number of our own; Xvfb refuses one that is taken.
  const int number = 90 + getpid() % 100;
  const std::string display = ":" + std::to_string(number);
  Spawned xvfb({"Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
               {"PATH=/usr/bin:/bin"}, temp / "xvfb.log");
  Display* x = nullptr;
  for (auto end = std::chrono::steady_clock::now() + 20s;
       !x && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(100ms))
    x = XOpenDisplay(display.c_str());
  ASSERT_NE(x, nullptr) << "Xvfb did not start on " << display;

  fs::create_directories(temp.path() / "run");
  fs::permissions(temp.path() / "run", fs::perms::owner_all);
  Spawned program({KESTROW_PROGRAM},
                  {"DISPLAY=" + display, "KESTROW_SMB_CONF=" + samba.ConfigPath(),
                   "XDG_RUNTIME_DIR=" + (temp.path() / "run").string(),
                   "PATH=/usr/sbin:/usr/bin:/sbin:/bin", "HOME=" + temp.str()},
                  temp / "program.log");
  std::optional<FoundWindow> window, error;
  for (auto end = std::chrono::steady_clock::now() + 30s;
       !window && !error && std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(100ms)) {
    window = FindWindow(x, DefaultRootWindow(x), "Orv | Kestrow?");
    error = FindWindow(x, DefaultRootWindow(x), "Error");
  }
  EXPECT_FALSE(error) << "the session list could not be read";
  ASSERT_TRUE(window) << "no main window";
  EXPECT_EQ(window->width, 165);
  EXPECT_EQ(window->height, 429);
  EXPECT_TRUE(program.Running());
  XCloseDisplay(x);
}

}  // namespace
