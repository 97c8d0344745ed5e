// The simulator link's lock: recursive, so that a batch's own calls may take it again, and
// stoppable, so that a thread asked to stop never waits out another thread's exchange (up to
// the whole round of attempts against a silent server) before it can end.
#pragma once

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace kavri {

class BatchMutex {
 public:
  // Takes the lock, waiting as long as another thread holds it, unless `stop` is requested
  // meanwhile: false then, without the lock.
  bool lock(std::stop_token stop) {
    std::unique_lock guard(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    if (depth_ > 0 && owner_ == self) {
      ++depth_;
      return true;
    }
    if (depth_ > 0) {
      ++waiting_;
      const bool free = released_.wait(guard, stop, [this] { return depth_ == 0; });
      --waiting_;
      if (!free) return false;
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
  std::mutex mutex_;
  std::condition_variable_any released_;
  std::thread::id owner_;
  int depth_ = 0;
  int waiting_ = 0;
};

}  // namespace kavri
