// kavri-fgfs: the FlightGear bridge. Receives FlightGear's generic-protocol frames, serves them
// to the driver as simulator offsets through the platform's link (as kavri-sim does), and
// sends the driver's writes back to FlightGear, until interrupted or for a given time.
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform_text.h"
#include "base/standard_options.h"
#include "bridges/bridge_program.h"
#include "bridges/fgfs_bridge.h"
#include "bridges/fgfs_options.h"
#include "bridges/fgfs_protocol.h"

namespace kavri {
namespace {

int write_protocol(const BridgeMap& map, const std::string& directory) {
  const std::string path = directory + "/" + FGFS_PROTOCOL_NAME + ".xml";
  if (const Status written = write_file_whole(path, fgfs_protocol_xml(map)); !written) {
    std::cerr << "kavri-fgfs: " << written.error() << "\n";
    return 1;
  }
  std::cout << path << "\n";
  return 0;
}

}  // namespace
}  // namespace kavri

int main(int argc, char** argv) {
  kavri::use_console_text();
  using namespace kavri;
  const ProgramUsage program{"kavri-fgfs", FGFS_USAGE};
  if (const auto answer = answer_help_or_version(argc, argv, program)) return *answer;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto options = parse_fgfs_options(args);
  if (!options) return usage_error(program);
  int exit_code = 0;
  auto map =
      load_map_file("kavri-fgfs", options->map_file, FGFS_NAMES, builtin_fgfs_map(), exit_code);
  if (!map) return exit_code;
  if (options->protocol_dir) return write_protocol(*map, *options->protocol_dir);
  return run_bridge_program({"kavri-fgfs", options->listen, options->send,
                             options->accept.value_or(options->send.host), "sending to",
                             options->print, options->run_for_ms,
                             [&map](Env& env, UdpSocket& socket, BridgeOptions bridge_options) {
                               return std::make_unique<FgfsBridge>(env, std::move(*map), socket,
                                                                   std::move(bridge_options));
                             }});
}
