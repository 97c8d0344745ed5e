// The command line of kavri-xplane, the X-Plane bridge.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "bridges/udp_socket.h"

namespace kavri {

struct XplaneOptions {
  std::optional<std::string> map_file;     // --map FILE; none: the built-in map
  NetAddress xplane{"127.0.0.1", 49000};   // --xplane HOST:PORT
  bool find = false;                       // --find: X-Plane's address from its beacon
  NetAddress listen{"0.0.0.0", 0};         // --listen HOST:PORT, where X-Plane answers
  int rate = 20;                           // --rate N, answers per second
  bool print = false;                      // --print
  std::optional<std::int64_t> run_for_ms;  // --run-for SECONDS
};

inline constexpr const char* XPLANE_USAGE =
    "usage: kavri-xplane [--map FILE] [--xplane HOST:PORT | --find] [--listen HOST:PORT]\n"
    "                    [--rate N] [--print] [--run-for SECONDS]\n"
    "       kavri-xplane --help | --version\n"
    "Feeds the Kavri driver from X-Plane: subscribes to X-Plane's datarefs over its UDP\n"
    "interface, serves them as simulator offsets, and sends the driver's writes back to X-Plane.\n"
    "  --map FILE          the offset map (default: the built-in X-Plane 12 Cessna 172 map)\n"
    "  --xplane HOST:PORT  where X-Plane listens (default 127.0.0.1:49000); only its answers\n"
    "                      are taken\n"
    "  --find              wait for X-Plane's beacon on the network and use its address\n"
    "  --listen HOST:PORT  where X-Plane's answers arrive (default 0.0.0.0:0, port 0 being the\n"
    "                      system's choice, told on standard error)\n"
    "  --rate N            answers per second asked of X-Plane, 1 to 100 (default 20)\n"
    "  --print             print each answer's offsets: $OFFSET:SIZE=VALUE ...\n"
    "  --run-for SECONDS   stop after SECONDS (whole seconds; default: until interrupted)\n"
    "  --help              alone: show this text\n"
    "  --version           alone: show the program version\n";

// The arguments after the program name ("--help" and "--version" are answered before). None
// when one is unknown, lacks its value or has a malformed one, --find comes with --xplane, or
// --xplane names port 0 or a multicast or broadcast address (224.0.0.0 and above).
std::optional<XplaneOptions> parse_xplane_options(std::span<const std::string_view> args);

}  // namespace kavri
