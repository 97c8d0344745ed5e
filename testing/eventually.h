// Bounded real-time waits for tests, so that a fault shows as a failure instead of a hang.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace kavri::testing {

// Polls `done` every millisecond until it holds; false when `limit` passes first.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::minutes(1)) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace kavri::testing
