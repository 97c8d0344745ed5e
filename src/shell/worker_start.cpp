#include "shell/worker_start.h"

#include <iostream>
#include <string>

namespace kavri {
namespace {

constexpr Millis RETRY_PAUSE{1000};

}  // namespace

bool worker_start_due(const AppState& state) { return state.env.now_ms() >= state.worker_retry_at; }

bool start_worker(AppState& state, Worker& worker, std::function<void(std::stop_token)> body,
                  std::string_view what) {
  if (!worker_start_due(state)) return false;
  const Status started = start_worker(state.env, worker, std::move(body), what);
  if (started) return true;
  std::cerr << "kavri: " << started.error() << "; trying again in a second\n";
  state.worker_retry_at = state.env.now_ms() + RETRY_PAUSE.count();
  return false;
}

}  // namespace kavri
