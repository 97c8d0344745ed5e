// Virtual time for tests: a sleep advances the clock at once and returns, so a test of a
// 1,000 ms pause takes no real time. Threads are real; only time is virtual.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "base/env.h"

namespace kavri {

class FakeEnv final : public Env {
 public:
  std::int64_t now_ms() override { return now_.load(); }

  // Advances virtual time by `ms` (unless a stop is already requested) and records the sleep.
  // Yields the processor so that loops paced by sleeps do not starve other threads.
  using Env::sleep_for;  // keeps the overload without a stop token visible
  bool sleep_for(Millis ms, std::stop_token stop) override;

  Worker start_thread(std::function<void(std::stop_token)> body) override;

  // Moves the clock without a sleep, as time spent working would.
  void advance(Millis ms) { now_ += ms.count(); }

  // Every sleep so far, in order, in milliseconds; thread-safe.
  std::vector<std::int64_t> sleeps() const;
  void clear_sleeps();
  int threads_started() const { return threads_started_.load(); }
  // The `number`th thread start from now (1: the next) throws std::system_error, as on a
  // system out of threads; the ones after it succeed.
  void refuse_start(int number) { refused_start_ = threads_started_ + number; }

 private:
  std::atomic<std::int64_t> now_{0};
  std::atomic<int> threads_started_{0};
  std::atomic<int> refused_start_{0};  // counted as threads_started_ counts
  mutable std::mutex mutex_;
  std::vector<std::int64_t> sleeps_;
};

}  // namespace kavri
