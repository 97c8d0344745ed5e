// One kind of event that a bridge tells at most once a period, however often it happens: how
// many came since the last telling, and what the last one was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "base/env.h"

namespace kavri {

class CountedNews {
 public:
  // `what` names the events in a sentence: "datagram(s) refused".
  explicit CountedNews(std::string what) : what_(std::move(what)) {}

  void add(std::int64_t count, std::string last) {
    if (count <= 0) return;
    count_ += count;
    last_ = std::move(last);
  }

  // "N WHAT, the last one: LAST" when some came and `period` has passed since the last
  // telling (which this starts again); nullopt otherwise.
  std::optional<std::string> due(std::int64_t now_ms, Millis period) {
    if (count_ == 0 || (told_ms_ && now_ms - *told_ms_ < period.count())) return std::nullopt;
    std::string sentence = std::to_string(count_) + " " + what_ + ", the last one: " + last_;
    count_ = 0;
    told_ms_ = now_ms;
    return sentence;
  }

 private:
  std::string what_;
  std::int64_t count_ = 0;
  std::string last_;
  std::optional<std::int64_t> told_ms_;
};

}  // namespace kavri
