// One transfer pass over a full bus: 51 modules, each with both gauges, both outputs and the
// analog input in use, against the in-process virtual simulator and the virtual card. Waits
// take no time, so what is measured is the pass's own work: the batched exchange, the
// conversions, the reports and the analog round trips. Each pass is timed on its own (manual
// time): the values' changes between passes are the simulator's work, not the pass's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "testing/fake_env.h"
#include "testing/transfer_test_rig.h"

namespace kavri {
namespace {

// Virtual time like FakeEnv, without its yield to other threads: on a shared machine that
// yield hands the processor to other processes, which is waiting, not the pass's work.
class InstantEnv final : public Env {
 public:
  std::int64_t now_ms() override { return now_; }
  bool sleep_for(Millis ms, std::stop_token stop) override {
    if (stop.stop_requested()) return false;
    now_ += ms.count();
    return true;
  }
  Worker start_thread(std::function<void(std::stop_token)> body) override {
    return fake_.start_thread(std::move(body));
  }

 private:
  std::int64_t now_ = 0;
  FakeEnv fake_;
};

// Gauge-1 types that take one byte, and types with a gauge-2 conversion, spread over the bus.
constexpr std::uint8_t kGauge1Types[] = {1, 2, 3, 6, 9, 11, 13, 15, 20, 23, 25, 33, 37, 38};
constexpr std::uint8_t kGauge2Types[] = {2, 5, 7, 8, 10, 13, 21, 22, 26, 27, 28, 34, 36, 40};

void configure_full_bus(TransferRig& rig, int modules) {
  for (int i = 0; i < modules; ++i) {
    ModuleRecord& m = rig.record(i);
    const auto base = static_cast<std::uint16_t>(0x5000 + 32 * i);
    set_linear_gauge(m, 1, base, 4);
    set_linear_gauge(m, 2, static_cast<std::uint16_t>(base + 8), 8);
    m.gauges[0].type = kGauge1Types[static_cast<std::size_t>(i) % std::size(kGauge1Types)];
    m.gauges[1].type = kGauge2Types[static_cast<std::size_t>(i) % std::size(kGauge2Types)];
    m.outputs[0].offset = static_cast<std::uint16_t>(base + 16);
    m.outputs[0].offset_length = 2;
    m.outputs[1].offset = static_cast<std::uint16_t>(base + 18);
    m.outputs[1].offset_length = 1;
    m.analog_offset = static_cast<std::uint16_t>(base + 20);
    m.analog_offset_length = 2;
  }
}

// Moves every configured value, so every gauge and output has something to send.
void move_values(TransferRig& rig, int modules, std::uint64_t step) {
  for (int i = 0; i < modules; ++i) {
    const auto base = static_cast<std::uint32_t>(0x5000 + 32 * i);
    rig.space.set(base, 4, (step * 977) % 16000);
    double gauge2 = static_cast<double>(step % 200);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &gauge2, sizeof bits);
    rig.space.set(base + 8, 8, bits);
    rig.space.set(base + 16, 2, step);
    rig.space.set(base + 18, 1, step);
  }
}

void run_passes(benchmark::State& state, bool moving) {
  const int modules = static_cast<int>(state.range(0));
  InstantEnv env;
  TransferRig rig(env, modules);
  rig.card.keep_received(false);
  configure_full_bus(rig, modules);
  std::uint64_t step = 0;
  move_values(rig, modules, step);
  rig.cycle.run_pass(std::stop_token{});
  const int exchanges_before = rig.transport.exchanges;
  for (auto _ : state) {
    if (moving) move_values(rig, modules, ++step);
    const auto begin = std::chrono::steady_clock::now();
    rig.cycle.run_pass(std::stop_token{});
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
  }
  state.counters["exchanges_per_pass"] =
      static_cast<double>(rig.transport.exchanges - exchanges_before) /
      static_cast<double>(state.iterations());
  state.counters["modules"] = modules;
}

// Every value unchanged: the exchange, the conversions and the analog round trips.
void BM_TransferPassSteady(benchmark::State& state) { run_passes(state, false); }
// Every value changed: the same plus two positions and two outputs sent per module.
void BM_TransferPassAllChanging(benchmark::State& state) { run_passes(state, true); }

BENCHMARK(BM_TransferPassSteady)
    ->Arg(1)
    ->Arg(10)
    ->Arg(MAX_MODULES)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransferPassAllChanging)
    ->Arg(MAX_MODULES)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kavri

BENCHMARK_MAIN();
