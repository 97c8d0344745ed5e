// The simulator link's lock: recursive, so that a batch's own calls may take it again, and
// stoppable, so that a thread asked to stop never waits out another thread's exchange (up to
// the whole round of attempts against a silent server) before it can end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace kavri {

class BatchMutex {
 public:
  // Takes the lock, waiting as long as another thread holds it, unless `stop` is requested
  // meanwhile: false then (within a few milliseconds), without the lock.
  bool lock(std::stop_token stop) {
    std::unique_lock guard(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    if (depth_ > 0 && owner_ == self) {
      ++depth_;
      return true;
    }
    if (depth_ > 0) {
      // In slices that look at the stop between them rather than a wait that the stop request
      // notifies: libstdc++'s stop-notified waits over winpthreads now and then miss a wake-up.
      ++waiting_;
      while (depth_ > 0 && !stop.stop_requested()) released_.wait_for(guard, STOP_CHECK);
      --waiting_;
      if (depth_ > 0) return false;
    }
    owner_ = self;
    depth_ = 1;
    return true;
  }
  void lock() { lock(std::stop_token{}); }

  void unlock() {
    {
      std::lock_guard guard(mutex_);
      if (--depth_ > 0) return;
      owner_ = {};
      if (waiting_ == 0) return;
    }
    // Every waiter: one woken alone might be a thread that is just giving up on a stop.
    released_.notify_all();
  }

 private:
  static constexpr std::chrono::milliseconds STOP_CHECK{5};

  std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  int depth_ = 0;
  int waiting_ = 0;
};

}  // namespace kavri
