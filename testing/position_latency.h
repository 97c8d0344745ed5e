// Benchmark support for latencies that end at a position report: a card between the driver and
// the virtual card that notes when each gauge-1 position arrives, and the counters that
// summarise the measured latencies.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "device/bus_messages.h"
#include "device/hid.h"
#include "virtual/virtual_card.h"

namespace kavri {

// Passes every report to the virtual card and notes when a gauge-1 position for the module at
// `address` arrives.
class WatchedCard final : public HidCard {
 public:
  using Clock = std::chrono::steady_clock;

  WatchedCard(VirtualCard& card, std::uint8_t address) : card_(card), address_(address) {}

  HidStatus write_report(std::span<const std::uint8_t> report) override {
    const HidStatus written = card_.write_report(report);
    if (report.size() > 3 && report[1] == CMD_SET_POSITION_1 && report[2] == address_) {
      std::lock_guard lock(mutex_);
      position_ = report[3];
      arrived_at_ = Clock::now();
      arrived_.notify_all();
    }
    return written;
  }
  HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override {
    return card_.read_report(report, timeout_ms);
  }

  // When `position` arrived, or nullopt if it did not within `limit`.
  std::optional<Clock::time_point> wait_for_position(std::uint8_t position, Clock::duration limit) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, limit, [&] { return position_ == position; })) return {};
    return arrived_at_;
  }

 private:
  VirtualCard& card_;
  const std::uint8_t address_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  int position_ = -1;
  Clock::time_point arrived_at_;
};

// Sets the counters "changes", "median_ms", "p99_ms" and "max_ms" of `latencies_ms`.
inline void set_latency_counters(benchmark::State& state, std::vector<double> latencies_ms) {
  if (latencies_ms.empty()) return;
  std::sort(latencies_ms.begin(), latencies_ms.end());
  const auto at = [&](double q) {
    return latencies_ms[static_cast<std::size_t>(q * static_cast<double>(latencies_ms.size() - 1))];
  };
  state.counters["changes"] = static_cast<double>(latencies_ms.size());
  state.counters["median_ms"] = at(0.5);
  state.counters["p99_ms"] = at(0.99);
  state.counters["max_ms"] = latencies_ms.back();
}

}  // namespace kavri
