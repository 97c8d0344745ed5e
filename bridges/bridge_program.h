// What the bridge programs share around the core: the map file they are given, the files they
// write, the printing of --print, and a run that ends on a signal or after a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "bridges/bridge.h"

namespace kavri {

// The map in the file at `path`, or `builtin` without a path. Only a regular file is read (a
// device could be read without end, a FIFO could block for ever). Nullopt, the reason told
// on standard error as "PROGRAM: ...", with `exit_code` 1 for a file that cannot be read and 2
// for a bad map.
std::optional<BridgeMap> load_map_file(const char* program, const std::optional<std::string>& path,
                                       const SimulatorNames& names, const BridgeMap& builtin,
                                       int& exit_code);

// Puts `bytes` at `path` through a temporary file and a rename, so that a full disk or a crash
// leaves the old file whole. Refuses anything at `path` but a regular file or nothing: a
// symbolic link is never followed, a FIFO never opened.
Status write_file_whole(const std::string& path, std::string_view bytes);

// From now on SIGINT, SIGTERM and SIGHUP end the program the same way (the bridge stops, its
// server's socket goes), as soon as it looks at end_signal_received().
void catch_end_signals();
bool end_signal_received();

struct BridgeRun {
  const char* program;     // "kavri-fgfs": the start of every message
  NetAddress listen;       // the bridge's own socket
  NetAddress peer;         // the simulator
  std::string accept;      // the host whose datagrams are taken
  const char* peer_label;  // "sending to": how the start message names the simulator
  bool print = false;      // --print: each datagram's offsets on standard output
  std::optional<std::int64_t> run_for_ms;
  using Maker = std::function<std::unique_ptr<Bridge>(Env&, UdpSocket&, BridgeOptions)>;
  Maker make_bridge;
};

// Runs a bridge program: its socket, its bridge (news on standard error), until an end signal
// (see above) or for `run_for_ms` when given. The exit code: 1 when the socket cannot be had or
// the system refuses a thread the program needs (said on standard error), else 0.
int run_bridge_program(const BridgeRun& run);

}  // namespace kavri
