// From a value change in a separate simulator process to the position report at the virtual
// card, through the real POSIX transport: kavri-sim runs as a child process with a socket of
// its own, the transfer thread (51 modules, 5 ms passes) reads its offsets, and the main
// thread changes module 1's gauge value there with a write of its own, as the link monitor
// shares the driver's link. Each change is timed from just before that write's exchange, so
// the figure includes the write's round trip.
#include <benchmark/benchmark.h>

#include <csignal>
#include <string>

#include "simlink/transport_posix.h"
#include "testing/files.h"
#include "testing/position_latency.h"
#include "testing/process.h"
#include "testing/transfer_test_rig.h"

namespace kavri {
namespace {

// Opens the link, waiting (bounded) for the simulator's first answers.
bool open_when_served(IpcClient& ipc) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  IpcResult result;
  while (!ipc.ipc_open(0, result)) {
    if (std::chrono::steady_clock::now() >= give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void BM_KavriSimLatency(benchmark::State& state) {
  constexpr int kChanges = 1000;
  constexpr std::uint16_t kWatched = 0x1000;
  ScratchDirectory dir;
  // Nothing of the profile moves: the lights stay off, every other offset waits for writes.
  testing::write_file(dir.file("still.txt"), "0 $0D0C:2 0\n");
  testing::ChildProcess sim({KAVRI_SIM_PROGRAM, "--profile", "still.txt"},
                            {dir.path(), {"XDG_RUNTIME_DIR=" + dir.path()}, {}});
  SystemEnv env;
  auto transport = make_posix_transport({dir.file("kavri")});
  IpcClient ipc(env, *transport);
  if (!sim.started() || !open_when_served(ipc)) {
    state.SkipWithError("kavri-sim did not serve the link");
    return;
  }
  WatchedTransfer rig(env, ipc, MAX_MODULES);
  configure_watched_bus(rig.modules, kWatched);

  const auto write_position = [&](std::uint8_t position) {
    const std::uint16_t value = position;
    IpcResult result;
    const auto batch = ipc.lock_batch();
    ipc.ipc_write(kWatched, 2, &value, result);
    ipc.ipc_process(result);
  };
  std::vector<double> latencies_ms;
  for (auto _ : state) {
    Worker transfer = env.start_thread([&](std::stop_token stop) { rig.cycle.run(stop); });
    latencies_ms = time_position_changes(rig.card, kChanges, write_position);
    transfer.stop_and_join();
    if (latencies_ms.size() < kChanges) state.SkipWithError("a position report never came");
  }
  ipc.ipc_close();
  sim.signal(SIGTERM);
  sim.wait(std::chrono::seconds(10));
  set_latency_counters(state, std::move(latencies_ms));
}

BENCHMARK(BM_KavriSimLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavri

BENCHMARK_MAIN();
