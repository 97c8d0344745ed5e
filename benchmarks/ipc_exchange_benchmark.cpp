// The cost of one simulator exchange: a few queued reads and the process that sends them,
// through the POSIX transport to the virtual simulator's server (a thread of this process);
// the same through the network transport and a relay on loopback in front of that server (the
// difference of the two is the relay's own cost: TCP both ways, the guard, the relay's local
// exchange); and, for comparison, through the in-process transport that has no operating system
// in the way. Each round trip is timed; the median and the 99th percentile are reported as
// counters in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "base/env.h"
#include "netlink/transport_network.h"
#include "relay/relay_server.h"
#include "server/in_process_transport.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_transport.h"
#include "simlink/transport_posix.h"
#include "testing/files.h"
#include "testing/timed_exchange.h"
#include "virtual/simulator/virtual_simulator.h"

namespace {

using kavri::IpcResult;

// The transfer cycle's smallest pass: light and battery words and two gauges.
void measure_exchanges(benchmark::State& state, kavri::IpcTransport& transport, kavri::Env& env) {
  kavri::IpcClient client(env, transport);
  IpcResult result;
  if (!client.ipc_open(0, result)) {
    state.SkipWithError("the link did not open");
    return;
  }
  kavri::testing::TimedExchange exchange;
  std::vector<double> micros;
  micros.reserve(static_cast<std::size_t>(state.max_iterations));
  for (auto _ : state) {
    const std::optional<double> us = exchange.run(client, result);
    if (!us) {
      state.SkipWithError("an exchange failed");
      return;
    }
    micros.push_back(*us);
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  benchmark::DoNotOptimize(exchange.checksum());
}

// The virtual simulator serving in a scratch directory, flying the demo flight meanwhile.
struct ServedSimulator {
  static kavri::SimOptions in(const kavri::ScratchDirectory& scratch) {
    kavri::SimOptions options;
    options.directory = scratch.path();
    return options;
  }
  kavri::SystemEnv env;
  kavri::ScratchDirectory scratch;
  kavri::VirtualSimulator sim{env, in(scratch)};
};

void BM_ExchangePosix(benchmark::State& state) {
  ServedSimulator served;
  if (const kavri::Status started = served.sim.start(); !started) {
    state.SkipWithError(started.error().c_str());
    return;
  }
  auto transport = kavri::make_posix_transport({served.scratch.path()});
  measure_exchanges(state, *transport, served.env);
}
BENCHMARK(BM_ExchangePosix)->Iterations(10000)->Unit(benchmark::kMicrosecond);

void BM_ExchangeThroughRelay(benchmark::State& state) {
  ServedSimulator served;
  if (const kavri::Status started = served.sim.start(); !started) {
    state.SkipWithError(started.error().c_str());
    return;
  }
  const kavri::LinkKey key{1, 2, 3};
  kavri::RelayOptions options;
  options.listen = {"127.0.0.1", 0};
  options.key = key;
  options.local_link = [directory = served.scratch.path()] {
    return kavri::make_posix_transport({directory});
  };
  kavri::Relay relay(served.env, std::move(options), [](const std::string&) {});
  if (const kavri::Status started = relay.start(); !started) {
    state.SkipWithError(started.error().c_str());
    return;
  }
  auto transport = kavri::make_network_transport({{"127.0.0.1", relay.port()}, key});
  measure_exchanges(state, *transport, served.env);
}
BENCHMARK(BM_ExchangeThroughRelay)->Iterations(10000)->Unit(benchmark::kMicrosecond);

void BM_ExchangeInProcess(benchmark::State& state) {
  kavri::SystemEnv env;
  kavri::OffsetSpace space;
  auto transport = kavri::make_in_process_transport(space);
  measure_exchanges(state, *transport, env);
}
BENCHMARK(BM_ExchangeInProcess)->Iterations(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
