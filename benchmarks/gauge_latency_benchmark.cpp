// From a value change in the virtual simulator to the position report at the virtual card, on
// the real clock: the transfer thread runs its passes (5 ms apart) while the main thread
// changes a gauge's value and waits for the report that carries the new position. The
// simulator is in this process (no operating system between them): kavri_sim_latency_benchmark
// measures the same through the POSIX transport against a kavri-sim of its own.
#include <benchmark/benchmark.h>

#include "testing/position_latency.h"
#include "testing/transfer_test_rig.h"

namespace kavri {
namespace {

void BM_GaugeLatency(benchmark::State& state) {
  constexpr int kChanges = 1000;
  constexpr std::uint16_t kWatched = 0x1000;
  SystemEnv env;
  OffsetSpace space;
  auto transport = make_in_process_transport(space);
  IpcClient ipc(env, *transport);
  IpcResult result;
  ipc.ipc_open(0, result);
  WatchedTransfer rig(env, ipc, MAX_MODULES);
  configure_watched_bus(rig.modules, kWatched);

  std::vector<double> latencies_ms;
  for (auto _ : state) {
    Worker transfer = env.start_thread([&](std::stop_token stop) { rig.cycle.run(stop); });
    latencies_ms = time_position_changes(
        rig.card, kChanges, [&](std::uint8_t position) { space.set(kWatched, 2, position); });
    transfer.stop_and_join();
    if (latencies_ms.size() < kChanges) state.SkipWithError("a position report never came");
  }
  set_latency_counters(state, std::move(latencies_ms));
}

BENCHMARK(BM_GaugeLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavri

BENCHMARK_MAIN();
