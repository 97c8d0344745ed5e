// The end of the Windows session reaches a windowed driver: the messages the system sends to
// every top-level window at a log-off or shutdown ask the main loop to end (and save).
#include <gtest/gtest.h>
#include <windows.h>

#include "shell/end_request.h"

namespace kavri {
namespace {

// The session window of this process, once its thread has made it: within 20 s, since a
// loaded machine under Wine can take seconds to start a thread that makes a window.
HWND session_window() {
  for (int attempt = 0; attempt < 2000; ++attempt) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"KavriSessionEnd", nullptr)) != nullptr) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      if (process == GetCurrentProcessId()) return window;
    }
    Sleep(10);
  }
  return nullptr;
}

TEST(EndRequestWin32, TheSessionsEndAsksTheDriverToEnd) {
  watch_end_requests();
  HWND window = session_window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  SendMessageW(window, WM_ENDSESSION, FALSE, 0);  // another program cancelled the log-off
  EXPECT_FALSE(end_requested());
  // The handler holds the process for the shutdown; the request is raised before that.
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 200, &result);
  EXPECT_TRUE(end_requested());
}

}  // namespace
}  // namespace kavri
