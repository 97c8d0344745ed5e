// Ctrl-C and Ctrl-Break in the console, the console window's close, the user's log-off and the
// system's shutdown. A console program hears of the last two as console events; a windowed one
// only through the messages WM_QUERYENDSESSION and WM_ENDSESSION sent to its top-level windows,
// so a hidden window of its own, on a thread of its own, listens for them whatever the main
// thread is doing. Windows ends the process once the handler returns from a close, log-off or
// shutdown, so the handler holds that end back until the main loop has shut the driver down
// (an EEPROM write under way finished first), for at most the few seconds the system grants.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "base/env.h"
#include "shell/end_request.h"

namespace kavri {

namespace {

std::atomic<bool> requested{false};
std::atomic<int> requests_seen{0};

constexpr DWORD SHUTDOWN_GRACE_MS = 4000;  // the system ends the process after about 5 s

// Notes the request. False when it is a second one, which ends the process at once.
bool note_request() {
  if (requests_seen.fetch_add(1) > 0) return false;
  requested.store(true);
  return true;
}

BOOL WINAPI on_console_event(DWORD event) {
  if (!note_request()) return FALSE;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;  // the process goes on
  Sleep(SHUTDOWN_GRACE_MS);
  return TRUE;
}

LRESULT CALLBACK on_session_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      return TRUE;  // the driver never holds a log-off up
    case WM_ENDSESSION:
      // wparam false: another program cancelled the end, and the session goes on.
      if (wparam && note_request()) Sleep(SHUTDOWN_GRACE_MS);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

// Runs for the life of the process: the window and its message loop.
void listen_for_session_end() {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = on_session_message;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"KavriSessionEnd";
  RegisterClassW(&window_class);
  // Top-level (the session's messages reach no message-only window) and never shown.
  if (CreateWindowExW(0, window_class.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                      window_class.hInstance, nullptr) == nullptr) {
    return;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}

}  // namespace

void watch_end_requests() {
  SetConsoleCtrlHandler(on_console_event, TRUE);
  static SystemEnv env;  // the listener's, for the life of the process
  Worker listener;
  const Status started = start_worker(
      env, listener, [](std::stop_token) { listen_for_session_end(); }, "session end");
  if (started) {
    listener.detach();  // it runs until the process ends
  } else {
    std::fprintf(stderr, "kavri: %s; a log-off ends the driver without saving its settings\n",
                 started.error().c_str());
  }
}

bool end_requested() { return requested.load(); }

}  // namespace kavri
