// Ctrl-C and Ctrl-Break in the console, the console window's close, the user's log-off and the
// system's shutdown. Windows ends the process once the handler returns from the last three, so
// the handler holds that end back until the main loop has shut the driver down, for at most
// the few seconds the system grants.
#include <windows.h>

#include <atomic>

#include "shell/end_request.h"

namespace kavri {

namespace {

std::atomic<bool> requested{false};
std::atomic<int> requests_seen{0};

constexpr DWORD SHUTDOWN_GRACE_MS = 4000;  // the system ends the process after about 5 s

BOOL WINAPI on_console_event(DWORD event) {
  // A second request while the first is being handled ends the process at once.
  if (requests_seen.fetch_add(1) > 0) return FALSE;
  requested.store(true);
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;  // the process goes on
  Sleep(SHUTDOWN_GRACE_MS);
  return TRUE;
}

}  // namespace

void watch_end_requests() { SetConsoleCtrlHandler(on_console_event, TRUE); }

bool end_requested() { return requested.load(); }

}  // namespace kavri
