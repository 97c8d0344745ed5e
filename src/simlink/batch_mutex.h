// The simulator link's lock: recursive, so that a batch's own calls may take it again, and
// stoppable, so that a thread asked to stop never waits out another thread's exchange (up to
// the whole round of attempts against a silent server) before it can end.
#pragma once

#include <atomic>
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
    const std::thread::id self = std::this_thread::get_id();
    // The holder taking it again (every call of a batch does) costs no lock: only the holder
    // ever sets the owner to itself or changes the depth.
    if (owner_.load(std::memory_order_relaxed) == self) {
      ++depth_;
      return true;
    }
    std::unique_lock guard(mutex_);
    if (owner_.load(std::memory_order_relaxed) != std::thread::id{}) {
      // In slices that look at the stop between them rather than a wait that the stop request
      // notifies: libstdc++'s stop-notified waits over winpthreads now and then miss a wake-up.
      ++waiting_;
      while (owner_.load(std::memory_order_relaxed) != std::thread::id{} &&
             !stop.stop_requested()) {
        released_.wait_for(guard, STOP_CHECK);
      }
      --waiting_;
      if (owner_.load(std::memory_order_relaxed) != std::thread::id{}) return false;
    }
    owner_.store(self, std::memory_order_relaxed);
    depth_ = 1;
    return true;
  }
  void lock() { lock(std::stop_token{}); }

  void unlock() {
    if (--depth_ > 0) return;  // the holder's own count
    {
      std::lock_guard guard(mutex_);
      owner_.store(std::thread::id{}, std::memory_order_relaxed);
      if (waiting_ == 0) return;
    }
    // Every waiter: one woken alone might be a thread that is just giving up on a stop.
    released_.notify_all();
  }

 private:
  static constexpr std::chrono::milliseconds STOP_CHECK{5};

  std::mutex mutex_;
  std::condition_variable released_;
  // Written under the mutex; read without it only by a thread looking for itself.
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;  // the holder's alone: set when it takes the lock, changed by it only
  int waiting_ = 0;
};

}  // namespace kavri
