// The cost of one simulator exchange through the Win32 transport: the transfer cycle's smallest
// batch (four reads) and the process that sends it, timed round trip by round trip; prints the
// median and the 99th percentile in microseconds. Google Benchmark is not built for Windows,
// so this small program stands in for ipc_exchange_benchmark there.
// Usage: win32_exchange_cost [--external] [COUNT]
//   --external: measure against the server already running (kavri-sim.exe, FSUIPC) instead of
//   a virtual simulator served on a thread of this process.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/number_text.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_transport.h"
#include "testing/timed_exchange.h"
#include "virtual/simulator/virtual_simulator.h"

int main(int argc, char** argv) {
  bool external = false;
  std::int64_t count = 10000;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--external") {
      external = true;
    } else if (kavri::parse_number_text(arg) > 0) {
      count = std::min<std::int64_t>(kavri::parse_number_text(arg), 1000000);
    } else {
      std::fputs("usage: win32_exchange_cost [--external] [COUNT]\n", stderr);
      return 2;
    }
  }
  kavri::SystemEnv env;
  std::unique_ptr<kavri::VirtualSimulator> sim;
  if (!external) {
    sim = std::make_unique<kavri::VirtualSimulator>(env, kavri::SimOptions{});
    if (const kavri::Status started = sim->start(); !started) {
      std::fprintf(stderr, "win32_exchange_cost: %s\n", started.error().c_str());
      return 1;
    }
  }
  auto transport = kavri::make_platform_transport();
  kavri::IpcClient client(env, *transport);
  kavri::IpcResult result;
  if (!client.ipc_open(0, result)) {
    std::fprintf(stderr, "win32_exchange_cost: the link did not open (result %d)\n",
                 static_cast<int>(result));
    return 1;
  }
  kavri::testing::TimedExchange exchange;
  std::vector<double> micros;
  micros.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const std::optional<double> us = exchange.run(client, result);
    if (!us) {
      std::fprintf(stderr, "win32_exchange_cost: exchange %lld failed (result %d)\n",
                   static_cast<long long>(i), static_cast<int>(result));
      return 1;
    }
    micros.push_back(*us);
  }
  std::sort(micros.begin(), micros.end());
  std::printf("%lld exchanges %s: median %.1f us, p99 %.1f us\n", static_cast<long long>(count),
              external ? "with the running server" : "with a server thread",
              micros[micros.size() / 2], micros[micros.size() * 99 / 100]);
  return 0;
}
