// The command line of kavri-bench, the driver on the virtual bench.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kavri {

struct BenchOptions {
  std::optional<std::string> modules_file;   // --modules FILE; none: the built-in demo bench
  std::optional<std::string> trace_file;     // --trace FILE
  bool headless = false;                     // --headless
  bool no_sim = false;                       // --no-sim; also with --link
  std::optional<std::string> link;           // --link HOST:PORT, a kavri-relay
  std::optional<std::string> key_file;       // --key-file FILE, its key
  std::optional<std::int64_t> run_for_ms;    // --run-for SECONDS
  std::optional<std::int64_t> unplug_at_ms;  // --unplug-at SECONDS
  std::optional<std::int64_t> replug_at_ms;  // --replug-at SECONDS
};

inline constexpr const char* BENCH_USAGE =
    "usage: kavri-bench [--modules FILE] [--headless] [--trace FILE] [--run-for SECONDS] "
    "[--no-sim] [--unplug-at SECONDS] [--replug-at SECONDS]\n"
    "                   [--link HOST:PORT --key-file FILE]\n"
    "       kavri-bench --help | --version\n"
    "  --modules FILE     the virtual bus: one group per module (default: the demo bench)\n"
    "  --headless         no window; message boxes go to standard error, answered OK\n"
    "  --trace FILE       every report exchanged with the card, one timed line each\n"
    "                     (FILE: a regular file, created or emptied)\n"
    "  --run-for SECONDS  close the main window after that long (whole or decimal)\n"
    "  --no-sim           do not start the built-in virtual simulator\n"
    "  --unplug-at SECONDS   unplug the virtual card that long after the start\n"
    "  --replug-at SECONDS   plug it back in that long after the start\n"
    "  --link HOST:PORT   reach the simulator on another computer through its kavri-relay\n"
    "                     (the built-in simulator is then not started)\n"
    "  --key-file FILE    that relay's key\n";

// The arguments after the program name. None when one is unknown, lacks its value, or a
// value is malformed, or when one of --link and --key-file comes without the other: the caller
// prints BENCH_USAGE and exits with 2.
std::optional<BenchOptions> parse_bench_options(std::span<const std::string_view> args);

// "3", "0.25", "12.": seconds as whole milliseconds (further digits are dropped). None for a
// sign, an exponent, anything not a digit, or more than a century.
std::optional<std::int64_t> parse_seconds_as_ms(std::string_view text);

}  // namespace kavri
