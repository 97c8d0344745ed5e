// Worker threads started from the main loop, through the one thread start (base/env.h). A
// system out of threads or memory refuses a new thread: that is told on standard error and
// tried again a second later, while the program goes on; it never ends the program.
#pragma once

#include <functional>
#include <stop_token>
#include <string_view>

#include "shell/app_state.h"

namespace kavri {

// Starts `body` into `worker` unless a refusal less than a second ago makes it wait. False
// when no thread started: the caller tries again at a later pass.
bool start_worker(AppState& state, Worker& worker, std::function<void(std::stop_token)> body,
                  std::string_view what);

// True when start_worker would try now (no refusal in the last second).
bool worker_start_due(const AppState& state);

}  // namespace kavri
