// kavri-xplane: the X-Plane bridge. Subscribes to X-Plane's datarefs over its UDP interface,
// serves them to the driver as simulator offsets through the platform's link (as kavri-sim
// does), and sends the driver's writes back to X-Plane, until interrupted or for a given time.
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform_text.h"
#include "base/standard_options.h"
#include "bridges/beacon_listener.h"
#include "bridges/bridge_program.h"
#include "bridges/xplane_bridge.h"
#include "bridges/xplane_options.h"

namespace kavri {
namespace {

// X-Plane's address from its beacon, waited for until an end signal or --run-for.
std::optional<NetAddress> find_xplane(const XplaneOptions& options) {
  std::cerr << "kavri-xplane: waiting for X-Plane's beacon on the network" << std::endl;
  catch_end_signals();
  const auto socket = make_platform_beacon_socket();
  if (!socket) {
    std::cerr << "kavri-xplane: " << socket.error() << "\n";
    return std::nullopt;
  }
  SystemEnv env;
  const Millis limit(options.run_for_ms.value_or(std::int64_t{1} << 40));
  const auto found =
      wait_for_xplane_beacon(env, **socket, limit, [] { return !end_signal_received(); });
  if (!found) {
    std::cerr << "kavri-xplane: " << found.error() << "\n";
    return std::nullopt;
  }
  return *found;
}

}  // namespace
}  // namespace kavri

int main(int argc, char** argv) {
  kavri::use_console_text();
  using namespace kavri;
  const ProgramUsage program{"kavri-xplane", XPLANE_USAGE};
  if (const auto answer = answer_help_or_version(argc, argv, program)) return *answer;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto options = parse_xplane_options(args);
  if (!options) return usage_error(program);
  int exit_code = 0;
  auto map = load_map_file("kavri-xplane", options->map_file, XPLANE_NAMES, builtin_xplane_map(),
                           exit_code);
  if (!map) return exit_code;
  NetAddress xplane = options->xplane;
  if (options->find) {
    const auto found = find_xplane(*options);
    if (!found) return 1;
    xplane = *found;
  }
  const int rate = options->rate;
  return run_bridge_program(
      {"kavri-xplane", options->listen, xplane, xplane.host, "X-Plane at", options->print,
       options->run_for_ms,
       [&map, rate](Env& env, UdpSocket& socket, BridgeOptions bridge_options) {
         return std::make_unique<XplaneBridge>(env, std::move(*map), socket, rate,
                                               std::move(bridge_options));
       }});
}
