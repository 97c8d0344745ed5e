// The command line of kavri-fgfs, the FlightGear bridge.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "bridges/udp_socket.h"

namespace kavri {

struct FgfsOptions {
  std::optional<std::string> map_file;      // --map FILE; none: the built-in map
  NetAddress listen{"127.0.0.1", 5510};     // --listen HOST:PORT, FlightGear's output
  NetAddress send{"127.0.0.1", 5511};       // --send HOST:PORT, FlightGear's input
  std::optional<std::string> accept;        // --accept HOST; none: --send's host
  std::optional<std::string> protocol_dir;  // --write-protocol DIR
  bool print = false;                       // --print
  std::optional<std::int64_t> run_for_ms;   // --run-for SECONDS
};

inline constexpr const char* FGFS_USAGE =
    "usage: kavri-fgfs [--map FILE] [--listen HOST:PORT] [--send HOST:PORT] [--accept HOST]\n"
    "                  [--print] [--run-for SECONDS]\n"
    "       kavri-fgfs --write-protocol DIR\n"
    "       kavri-fgfs --help | --version\n"
    "Feeds the Kavri driver from FlightGear: receives FlightGear's generic-protocol output,\n"
    "serves it as simulator offsets, and sends the driver's writes back to FlightGear.\n"
    "  --map FILE            the offset map (default: the built-in Cessna 172P map)\n"
    "  --listen HOST:PORT    where FlightGear's output arrives (default 127.0.0.1:5510)\n"
    "  --send HOST:PORT      where FlightGear reads its input (default 127.0.0.1:5511)\n"
    "  --accept HOST         the host whose frames are taken (default: --send's host)\n"
    "  --write-protocol DIR  write DIR{/}kavri.xml, FlightGear's protocol file for the map, and "
    "exit\n"
    "  --print               print each frame's offsets: $OFFSET:SIZE=VALUE ...\n"
    "  --run-for SECONDS     stop after SECONDS (whole seconds; default: until interrupted)\n"
    "  --help                alone: show this text\n"
    "  --version             alone: show the program version\n"
    "FlightGear: --generic=socket,out,10,127.0.0.1,5510,udp,kavri\n"
    "            --generic=socket,in,10,127.0.0.1,5511,udp,kavri\n";

// The arguments after the program name ("--help" and "--version" are answered before). None
// when one is unknown, lacks its value or has a malformed one: a misuse.
std::optional<FgfsOptions> parse_fgfs_options(std::span<const std::string_view> args);

}  // namespace kavri
