// The two entry points of orvConnNotify, the only symbols the library exports. There is no
// entry routine: the counter is constant-initialised, so loading runs no code of ours.
#include <atomic>

#include "connnotify/notifier.h"

namespace {
// "Pre" notifications seen by this loaded copy; the first one gets context 1.
std::atomic<DWORD> g_preNotifications{0};
}  // namespace

extern "C" __attribute__((visibility("default"))) DWORD AddConnectNotify(LPNOTIFYINFO info,
                                                                         LPNOTIFYADD add) {
  return connnotify::NotifyAdd(info, add, g_preNotifications);
}

extern "C" __attribute__((visibility("default"))) DWORD CancelConnectNotify(LPNOTIFYINFO info,
                                                                            LPNOTIFYCANCEL cancel) {
  return connnotify::NotifyCancel(info, cancel, g_preNotifications);
}
