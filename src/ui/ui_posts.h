// Widget updates handed from worker threads to the main thread. Toolkits own their widgets on
// the main thread, so a worker never touches one: it posts the update, and the main loop
// applies every posted update, in order, at the start of its next pass.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "ui/toolkit.h"

namespace kavri {

class UiPosts {
 public:
  using Update = std::function<void(Toolkit&)>;

  // Any thread.
  void post(Update update) {
    std::lock_guard lock(mutex_);
    updates_.push_back(std::move(update));
    posted_.store(true, std::memory_order_release);
  }

  // Main thread: applies what was posted so far, in order. Updates posted while it runs wait
  // for the next call.
  void apply_all(Toolkit& ui) {
    // Most passes find nothing: they neither lock nor allocate.
    if (!posted_.load(std::memory_order_acquire)) return;
    std::deque<Update> taken;
    {
      std::lock_guard lock(mutex_);
      taken.swap(updates_);
      posted_.store(false, std::memory_order_relaxed);
    }
    for (auto& update : taken) update(ui);
  }

 private:
  std::mutex mutex_;
  std::deque<Update> updates_;
  std::atomic<bool> posted_{false};  // set with each post, cleared when the updates are taken
};

}  // namespace kavri
