#include <signal.h>

#include <atomic>

#include "shell/end_request.h"

namespace kavri {

namespace {

// Lock-free, so that the signal handler may set it.
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_end_signal(int) { requested.store(true); }

}  // namespace

void watch_end_requests() {
  struct sigaction action {};
  action.sa_handler = on_end_signal;
  sigemptyset(&action.sa_mask);
  // The handler only notes the request; interrupted calls go on, and the next signal of the
  // same kind takes its default action again.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

bool end_requested() { return requested.load(); }

}  // namespace kavri
