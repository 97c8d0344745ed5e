// kavri-fgfs: the FlightGear bridge. Receives FlightGear's generic-protocol frames, serves them
// to the driver as simulator offsets through the platform's link (as kavri-sim does), and
// sends the driver's writes back to FlightGear, until interrupted or for a given time.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/standard_options.h"
#include "bridges/fgfs_bridge.h"
#include "bridges/fgfs_map.h"
#include "bridges/fgfs_options.h"
#include "bridges/fgfs_protocol.h"
#include "bridges/udp_socket.h"

namespace kavri {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void on_signal(int) { interrupted = 1; }

// The map of --map FILE, or the built-in one; nullopt (the reason printed) when unusable.
std::optional<FgfsMap> load_map(const FgfsOptions& options, int& exit_code) {
  if (!options.map_file) return builtin_fgfs_map();
  std::ifstream file(*options.map_file, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  if (!file) {
    std::cerr << "kavri-fgfs: cannot read the map " << *options.map_file << "\n";
    exit_code = 1;
    return std::nullopt;
  }
  std::string error;
  auto map = parse_fgfs_map(text.str(), *options.map_file, error);
  if (!map) {
    std::cerr << "kavri-fgfs: " << error << "\n";
    exit_code = 2;
  }
  return map;
}

int write_protocol(const FgfsMap& map, const std::string& directory) {
  const std::string path = directory + "/" + FGFS_PROTOCOL_NAME + ".xml";
  std::ofstream file(path, std::ios::binary);
  file << fgfs_protocol_xml(map);
  file.close();
  if (!file) {
    std::cerr << "kavri-fgfs: cannot write " << path << "\n";
    return 1;
  }
  std::cout << path << "\n";
  return 0;
}

std::string endpoint_text(const UdpEndpoint& endpoint) {
  return endpoint.host + ":" + std::to_string(endpoint.port);
}

int run_bridge(const FgfsOptions& options, FgfsMap map) {
  std::string error;
  const auto socket = make_platform_udp_socket(options.listen, options.send, error);
  if (!socket) {
    std::cerr << "kavri-fgfs: " << error << "\n";
    return 1;
  }
  FgfsBridgeOptions bridge_options;
  bridge_options.on_news = [](const std::string& sentence) {
    std::cerr << "kavri-fgfs: " << sentence << std::endl;
  };
  if (options.print) {
    bridge_options.on_frame = [](const Frame& frame) {
      std::printf("%s\n", frame_text(frame).c_str());
      std::fflush(stdout);
    };
  }
  SystemEnv env;
  FgfsBridge bridge(env, std::move(map), *socket, std::move(bridge_options));
  std::cerr << "kavri-fgfs: listening on " << options.listen.host << ":" << socket->local_port()
            << ", sending to " << endpoint_text(options.send) << std::endl;
  bridge.start();
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  const std::int64_t begin = env.now_ms();
  while (interrupted == 0 && (!options.run_for_ms || env.now_ms() - begin < *options.run_for_ms)) {
    env.sleep_for(Millis(50));
  }
  bridge.stop();
  return 0;
}

}  // namespace
}  // namespace kavri

int main(int argc, char** argv) {
  const kavri::ProgramUsage program{"kavri-fgfs", kavri::FGFS_USAGE};
  if (const auto answer = kavri::answer_help_or_version(argc, argv, program)) return *answer;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto options = kavri::parse_fgfs_options(args);
  if (!options) return kavri::usage_error(program);
  int exit_code = 0;
  auto map = kavri::load_map(*options, exit_code);
  if (!map) return exit_code;
  if (options->protocol_dir) return kavri::write_protocol(*map, *options->protocol_dir);
  return kavri::run_bridge(*options, std::move(*map));
}
