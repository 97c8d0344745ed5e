// A save that follows changes on a thread of its own, once they have stopped for a while: the
// kavri-bench modules file is saved once after an EEPROM write of some forty reports, not at
// each report, and never on the thread that sends them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/env.h"
#include "base/result.h"

namespace kavri {

class QuietSaver {
 public:
  // A saver whose `save` runs on its thread, QUIET after the last change; `env` gives the clock
  // and the thread. Fails when the system refuses the thread.
  static Result<std::unique_ptr<QuietSaver>> start(Env& env, std::function<void()> save);
  QuietSaver(const QuietSaver&) = delete;
  QuietSaver& operator=(const QuietSaver&) = delete;
  ~QuietSaver();  // saves a change still pending, then stops

  static constexpr Millis QUIET{500};

  // Notes a change; any thread, never waits for a save.
  void changed();

 private:
  QuietSaver(Env& env, std::function<void()> save) : env_(env), save_(std::move(save)) {}
  void run(std::stop_token stop);

  Env& env_;
  std::function<void()> save_;
  std::mutex mutex_;
  std::condition_variable_any woken_;
  bool pending_ = false;
  std::int64_t last_change_ms_ = 0;
  Worker worker_;
};

}  // namespace kavri
