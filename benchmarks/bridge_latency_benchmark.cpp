// From a simulator's datagram to the position report at the virtual card, on the real clock and
// the real paths, for each bridge: the flight recorded from FlightGear is sent datagram by
// datagram over UDP to the bridge (as FlightGear's frames, or as X-Plane's RREF answers of the
// same values), which serves it through the POSIX transport to the driver's transfer cycle on
// a six-module bus (the size of the C172 demo panel). Module 1's needle shows the low byte of
// the airspeed offset, which moves with almost every datagram; each datagram that moves it is
// timed from its send to the report that carries the new position.
#include <benchmark/benchmark.h>

#include <bit>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "bridges/fgfs_bridge.h"
#include "bridges/testdata/recorded_flight.h"
#include "bridges/xplane_bridge.h"
#include "bridges/xplane_datagrams.h"
#include "simlink/transport_posix.h"
#include "testing/files.h"
#include "testing/position_latency.h"
#include "testing/transfer_test_rig.h"

namespace kavri {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kModules = 6;
constexpr int kReplays = 2;

// What a simulator sends, and the position module 1 shows after each datagram: its linear gauge
// puts the airspeed offset's value on the needle, whose byte is the value's low byte.
struct Datagrams {
  std::vector<std::string> sent;
  std::vector<std::uint8_t> positions;
};

// Sends `datagrams` to the bridge (listening on `bridge_port`) and times each change of
// position, as the benchmark's counters.
void time_to_position(benchmark::State& state, Bridge& bridge, std::uint16_t bridge_port,
                      const Datagrams& datagrams, const std::string& directory) {
  SystemEnv env;
  const auto made =
      make_platform_udp_socket({"127.0.0.1", 0}, {"127.0.0.1", bridge_port}, "127.0.0.1");
  if (!made) {
    state.SkipWithError(made.error().c_str());
    return;
  }
  UdpSocket* const simulator = made->get();
  if (const Status started = bridge.start(); !started) {
    state.SkipWithError(started.error().c_str());
    return;
  }
  while (!bridge.serving()) {
    simulator->send(datagrams.sent[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  auto transport = make_posix_transport({directory});
  IpcClient ipc(env, *transport);
  IpcResult result;
  ipc.ipc_open(0, result);
  WatchedTransfer rig(env, ipc, kModules);
  rig.modules.module_count = kModules;
  for (int i = 0; i < kModules; ++i) {
    ModuleRecord& m = rig.modules.records[static_cast<std::size_t>(i)];
    m.address = static_cast<std::uint8_t>(i + 1);
    // Module 1 is watched; the others read two more offsets each.
    set_linear_gauge(m, 1, static_cast<std::uint16_t>(i == 0 ? 0x02BC : 0x0898), i == 0 ? 4 : 2);
    set_linear_gauge(m, 2, 0x08C0, 2);
  }

  std::vector<double> latencies_ms;
  // Datagrams come at random points of the 5 ms pass rhythm, as a simulator's do.
  std::mt19937 random(5);
  std::uniform_int_distribution<int> phase_us(0, 5000);
  for (auto _ : state) {
    Worker transfer = env.start_thread([&](std::stop_token stop) { rig.cycle.run(stop); });
    latencies_ms.clear();
    std::uint8_t shown = datagrams.positions[0];
    rig.card.wait_for_position(shown, std::chrono::seconds(5));
    const auto replay = [&] {
      for (std::size_t i = 0; i < datagrams.sent.size(); ++i) {
        const std::uint8_t position = datagrams.positions[i];
        std::this_thread::sleep_for(std::chrono::microseconds(phase_us(random)));
        const Clock::time_point sent_at = Clock::now();
        simulator->send(datagrams.sent[i]);
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

// The bridge's own socket, sending where nothing listens.
Result<std::unique_ptr<UdpSocket>> bridge_socket() {
  return make_platform_udp_socket({"127.0.0.1", 0}, {"127.0.0.1", 9}, "127.0.0.1");
}

// The recorded flight's frames, and their airspeed, RPM and manifold pressure.
std::vector<Frame> recorded_frames() {
  std::vector<Frame> frames;
  for (const std::string& line : testing::recorded_flight()) {
    if (auto frame = decode_frame(builtin_fgfs_map(), line)) frames.push_back(*frame);
  }
  return frames;
}

void BM_FgfsFrameToPosition(benchmark::State& state) {
  Datagrams datagrams;
  const std::vector<Frame> frames = recorded_frames();
  for (const std::string& line : testing::recorded_flight()) datagrams.sent.push_back(line + "\n");
  for (const Frame& frame : frames) {
    datagrams.positions.push_back(static_cast<std::uint8_t>(frame.offsets.front().integer));
  }
  ScratchDirectory dir;
  SystemEnv env;
  const auto socket = bridge_socket();
  if (!socket) {
    state.SkipWithError(socket.error().c_str());
    return;
  }
  FgfsBridge bridge(env, builtin_fgfs_map(), **socket,
                    {IpcServerClass::uipcmain, dir.path(), {}, {}});
  time_to_position(state, bridge, (*socket)->local_port(), datagrams, dir.path());
}

void BM_XplaneAnswerToPosition(benchmark::State& state) {
  const BridgeMap& map = builtin_xplane_map();
  const auto line_at = [&](std::uint32_t offset) {
    for (const MapLine& line : map.lines) {
      if (line.offset == offset) return &line;
    }
    return &map.lines.front();
  };
  const MapLine* airspeed = line_at(0x02BC);
  const MapLine* rpm = line_at(0x0898);
  const MapLine* manifold = line_at(0x08C0);
  Datagrams datagrams;
  for (const Frame& frame : recorded_frames()) {
    // The FlightGear map's fields 1, 10 and 12: airspeed, RPM, manifold pressure.
    const auto kt = static_cast<float>(frame.properties[0]);
    datagrams.sent.push_back(
        rref_answer({{airspeed->line_number, kt},
                     {rpm->line_number, static_cast<float>(frame.properties[9])},
                     {manifold->line_number, static_cast<float>(frame.properties[11])}}));
    datagrams.positions.push_back(
        static_cast<std::uint8_t>(integer_offset_value(*airspeed, kt).value_or(0)));
  }
  ScratchDirectory dir;
  SystemEnv env;
  const auto socket = bridge_socket();
  if (!socket) {
    state.SkipWithError(socket.error().c_str());
    return;
  }
  XplaneBridge bridge(env, map, **socket, 20, {IpcServerClass::uipcmain, dir.path(), {}, {}});
  time_to_position(state, bridge, (*socket)->local_port(), datagrams, dir.path());
}

BENCHMARK(BM_FgfsFrameToPosition)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XplaneAnswerToPosition)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavri

BENCHMARK_MAIN();
