// What the relay tells of the connections it closed on a stranger or a spoiled message: at most
// one line a second, whatever a flood of connections does, with the count since the last line
// and the latest reason, so nothing is hidden and nobody can fill the log.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "base/env.h"

namespace kavri {

// Thread-safe.
class RefusalNotes {
 public:
  RefusalNotes(Env& env, std::function<void(const std::string&)> tell)
      : env_(env), tell_(std::move(tell)) {}

  // One refused connection, or one closed for a spoiled message; `why` names its peer.
  void refused(const std::string& why);

 private:
  Env& env_;
  std::function<void(const std::string&)> tell_;
  std::mutex mutex_;
  std::int64_t last_told_ms_ = 0;
  bool told_ = false;
  std::int64_t untold_ = 0;
};

}  // namespace kavri
