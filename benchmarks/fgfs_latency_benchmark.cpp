// From a FlightGear frame to the position report at the virtual card, on the real clock and
// the real paths: the recorded flight is sent frame by frame over UDP to the bridge, which
// serves it through the POSIX transport to the driver's transfer cycle on a six-module bus (the
// size of the C172 demo panel). Module 1's needle shows the low byte of the airspeed offset,
// which moves with almost every frame; each frame that moves it is timed from its send to the
// report that carries the new position.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "bridges/fgfs_bridge.h"
#include "bridges/testdata/recorded_flight.h"
#include "simlink/transport_posix.h"
#include "testing/files.h"
#include "testing/position_latency.h"
#include "testing/transfer_test_rig.h"

namespace kavri {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kModules = 6;
constexpr int kReplays = 2;

// The position module 1 shows for a frame: its linear gauge puts the airspeed offset's value
// on the needle, whose byte is the value's low byte.
std::uint8_t airspeed_position(const std::string& line) {
  std::string error;
  const auto frame = decode_frame(builtin_fgfs_map(), line, error);
  return frame ? static_cast<std::uint8_t>(frame->offsets.front().integer) : 0;
}

void BM_FgfsFrameToPosition(benchmark::State& state) {
  ScratchDirectory dir;
  SystemEnv env;
  std::string error;
  const auto bridge_socket = make_platform_udp_socket({"127.0.0.1", 0}, {"127.0.0.1", 9}, error);
  const auto flightgear =
      bridge_socket ? make_platform_udp_socket({"127.0.0.1", 0},
                                               {"127.0.0.1", bridge_socket->local_port()}, error)
                    : nullptr;
  if (!flightgear) {
    state.SkipWithError(error.c_str());
    return;
  }
  FgfsBridge bridge(env, builtin_fgfs_map(), *bridge_socket,
                    {IpcServerClass::uipcmain, dir.path(), {}, {}});
  bridge.start();
  const std::vector<std::string> flight = testing::recorded_flight();
  while (!bridge.serving()) {
    flightgear->send(flight[0] + "\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  auto transport = make_posix_transport({dir.path()});
  IpcClient ipc(env, *transport);
  IpcResult result;
  ipc.ipc_open(0, result);
  WatchedTransfer rig(env, ipc, kModules);
  rig.modules.module_count = kModules;
  for (int i = 0; i < kModules; ++i) {
    ModuleRecord& m = rig.modules.records[static_cast<std::size_t>(i)];
    m.address = static_cast<std::uint8_t>(i + 1);
    // Module 1 is watched; the others read two more offsets of the frame each.
    set_linear_gauge(m, 1, static_cast<std::uint16_t>(i == 0 ? 0x02BC : 0x0898), i == 0 ? 4 : 2);
    set_linear_gauge(m, 2, 0x08C0, 2);
  }

  std::vector<double> latencies_ms;
  // Frames come at random points of the 5 ms pass rhythm, as FlightGear's do.
  std::mt19937 random(5);
  std::uniform_int_distribution<int> phase_us(0, 5000);
  for (auto _ : state) {
    Worker transfer = env.start_thread([&](std::stop_token stop) { rig.cycle.run(stop); });
    latencies_ms.clear();
    std::uint8_t shown = airspeed_position(flight[0]);
    rig.card.wait_for_position(shown, std::chrono::seconds(5));
    const auto replay = [&] {
      for (const std::string& line : flight) {
        const std::uint8_t position = airspeed_position(line);
        std::this_thread::sleep_for(std::chrono::microseconds(phase_us(random)));
        const Clock::time_point sent_at = Clock::now();
        flightgear->send(line + "\n");
        if (position == shown) continue;
        const auto arrived = rig.card.wait_for_position(position, std::chrono::seconds(5));
        if (!arrived) return false;
        shown = position;
        latencies_ms.push_back(
            std::chrono::duration<double, std::milli>(*arrived - sent_at).count());
      }
      return true;
    };
    for (int i = 0; i < kReplays; ++i) {
      if (!replay()) {
        state.SkipWithError("a position report never came");
        break;
      }
    }
    transfer.stop_and_join();
  }
  bridge.stop();
  set_latency_counters(state, std::move(latencies_ms));
}

BENCHMARK(BM_FgfsFrameToPosition)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavri

BENCHMARK_MAIN();
