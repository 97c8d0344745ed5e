// From a value change in the virtual simulator to the position report at the virtual card, on
// the real clock: the transfer thread runs its passes (5 ms apart) while the main thread
// changes a gauge's value and waits for the report that carries the new position.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "testing/transfer_test_rig.h"

namespace kavri {
namespace {

using Clock = std::chrono::steady_clock;

// Passes every report to the virtual card and notes when a gauge-1 position arrives.
class WatchedCard final : public HidCard {
 public:
  explicit WatchedCard(VirtualCard& card) : card_(card) {}

  HidStatus write_report(std::span<const std::uint8_t> report) override {
    const HidStatus written = card_.write_report(report);
    if (report.size() > 3 && report[1] == CMD_SET_POSITION_1) {
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
  std::mutex mutex_;
  std::condition_variable arrived_;
  int position_ = -1;
  Clock::time_point arrived_at_;
};

void BM_GaugeLatency(benchmark::State& state) {
  constexpr int kChanges = 1000;
  SystemEnv env;
  OffsetSpace space;
  auto transport = make_in_process_transport(space);
  IpcClient ipc(env, *transport);
  IpcResult result;
  ipc.ipc_open(0, result);
  VirtualCard virtual_card(virtual_modules(MAX_MODULES));
  WatchedCard card(virtual_card);
  BusSender bus(card);
  ModuleTable modules;
  modules.module_count = MAX_MODULES;
  for (int i = 0; i < MAX_MODULES; ++i) {
    ModuleRecord& m = modules.records[static_cast<std::size_t>(i)];
    m.address = static_cast<std::uint8_t>(i + 1);
    // Module 0 is watched; the others keep the pass as long as a full bus makes it.
    set_linear_gauge(m, 1, static_cast<std::uint16_t>(i == 0 ? 0x1000 : 0x2000), 2);
    set_linear_gauge(m, 2, 0x2002, 8);
    m.analog_offset = static_cast<std::uint16_t>(0x3000 + 2 * i);
    m.analog_offset_length = 2;
  }
  CalibrationTables calibration;
  Relaxed<int> backlight_level{10};
  TransferCycle cycle(TransferLinks{env, bus, card, ipc, modules, calibration, backlight_level});

  std::vector<double> latencies_ms;
  // Changes fall at random points of the 5 ms pass rhythm, as a simulator's values do; right
  // after a report they would all land at the start of the pause.
  std::mt19937 random(5);
  std::uniform_int_distribution<int> phase_us(0, 5000);
  for (auto _ : state) {
    Worker transfer = env.start_thread([&](std::stop_token stop) { cycle.run(stop); });
    latencies_ms.clear();
    for (int change = 1; change <= kChanges; ++change) {
      const auto position = static_cast<std::uint8_t>(1 + change % 200);
      std::this_thread::sleep_for(std::chrono::microseconds(phase_us(random)));
      const Clock::time_point changed_at = Clock::now();
      space.set(0x1000, 2, position);
      const auto arrived = card.wait_for_position(position, std::chrono::seconds(5));
      if (!arrived) {
        state.SkipWithError("a position report never came");
        break;
      }
      latencies_ms.push_back(
          std::chrono::duration<double, std::milli>(*arrived - changed_at).count());
    }
    transfer.stop_and_join();
  }
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

BENCHMARK(BM_GaugeLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavri

BENCHMARK_MAIN();
