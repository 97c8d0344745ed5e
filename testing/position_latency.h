// Benchmark support for latencies that end at a position report: a card between the driver and
// the virtual card that notes when each gauge-1 position arrives, and the counters that
// summarise the measured latencies.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <thread>
#include <vector>

#include "bus_model/module_record.h"
#include "device/bus_messages.h"
#include "device/hid.h"
#include "testing/transfer_test_rig.h"
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

// A full bus of 51 modules at addresses 1 to 51, module 1's gauge 1 (2 bytes) at
// `watched_offset`; the others keep the pass as long as a full bus makes it: both gauges, and
// an analog input written to the simulator in every pass.
inline void configure_watched_bus(ModuleTable& modules, std::uint16_t watched_offset) {
  modules.module_count = MAX_MODULES;
  for (int i = 0; i < MAX_MODULES; ++i) {
    ModuleRecord& m = modules.records[static_cast<std::size_t>(i)];
    m.address = static_cast<std::uint8_t>(i + 1);
    set_linear_gauge(m, 1, static_cast<std::uint16_t>(i == 0 ? watched_offset : 0x2000), 2);
    set_linear_gauge(m, 2, 0x2002, 8);
    m.analog_offset = static_cast<std::uint16_t>(0x3000 + 2 * i);
    m.analog_offset_length = 2;
  }
}

// The driver's transfer cycle on `modules_on_bus` virtual modules (addresses from 1, module
// 1's gauge 1 watched) behind `ipc`; the bus is the caller's to configure before `cycle` runs.
struct WatchedTransfer {
  WatchedTransfer(Env& env, IpcClient& ipc, int modules_on_bus)
      : virtual_card(virtual_modules(modules_on_bus)),
        card(virtual_card, 1),
        bus(card),
        cycle(TransferLinks{env, bus, card, ipc, modules, calibration, backlight_level}) {
    virtual_card.keep_received(false);  // thousands of reports a second, never read here
  }

  VirtualCard virtual_card;
  WatchedCard card;
  BusSender bus;
  ModuleTable modules;
  CalibrationTables calibration;
  Relaxed<int> backlight_level{10};
  TransferCycle cycle;
};

// `count` changes of the watched gauge's value, each made by `change(position)` at a random
// point of the 5 ms pass rhythm (as a simulator's values change; right after a report they
// would all land at the start of the pause), each timed in milliseconds from just before the
// change to the report that carries its position. Fewer when a report never came.
inline std::vector<double> time_position_changes(
    WatchedCard& card, int count, const std::function<void(std::uint8_t position)>& change) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> latencies_ms;
  std::mt19937 random(5);
  std::uniform_int_distribution<int> phase_us(0, 5000);
  for (int i = 1; i <= count; ++i) {
    const auto position = static_cast<std::uint8_t>(1 + i % 200);
    std::this_thread::sleep_for(std::chrono::microseconds(phase_us(random)));
    const Clock::time_point changed_at = Clock::now();
    change(position);
    const auto arrived = card.wait_for_position(position, std::chrono::seconds(5));
    if (!arrived) break;
    latencies_ms.push_back(
        std::chrono::duration<double, std::milli>(*arrived - changed_at).count());
  }
  return latencies_ms;
}

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
