// kavri-sim: serves the driver's simulator link on this machine and flies a profile, until
// interrupted or for a given time.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/env.h"
#include "base/line_printer.h"
#include "base/number_text.h"
#include "base/platform_text.h"
#include "base/standard_options.h"
#include "config/file_access.h"
#include "virtual/simulator/virtual_simulator.h"
#if !defined(_WIN32)
#include "simlink/endpoint_posix.h"
#endif

namespace {

constexpr const char* USAGE =
    "usage: kavri-sim [options]\n"
    "Serves the Kavri driver's simulator link on this machine and flies a profile.\n"
    "  --profile FILE            fly FILE (see docs{/}sim-profile.md) instead of the demo flight\n"
    "  --set OFFSET:SIZE=VALUE   hold a value (repeatable; size 1, 2, 4 or 8), e.g. $0D0C:2=4\n"
    "  --print-writes            print each client write: offset, size and bytes\n"
    "  --class UIPCMAIN|FS98MAIN the server class to go by (default UIPCMAIN)\n"
    "  --run-for SECONDS         stop after SECONDS (default: until interrupted)\n"
    "  --help                    alone: show this text\n"
    "  --version                 alone: show the program version\n";

constexpr kavri::ProgramUsage KAVRI_SIM{"kavri-sim", USAGE};

// Write lines waiting for standard output at most; more are dropped and counted.
constexpr std::size_t PRINT_CAPACITY = 4096;

// The end signals may be taken on any of the program's threads: a lock-free atomic, not a
// volatile flag, is what another thread reads soundly (and is safe in a signal handler).
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_signal(int) { interrupted.store(true); }

std::string write_line(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  std::string line = "write " + kavri::format_offset(static_cast<std::uint16_t>(offset)) + " " +
                     std::to_string(bytes.size()) + ":";
  char hex[4];
  for (std::uint8_t byte : bytes) {
    std::snprintf(hex, sizeof hex, " %02X", byte);
    line += hex;
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  kavri::use_console_text();
  if (const auto answer = kavri::answer_help_or_version(argc, argv, KAVRI_SIM)) return *answer;
  kavri::SystemEnv env;
  kavri::SimOptions options;
  std::int64_t run_for_ms = -1;
  std::unique_ptr<kavri::LinePrinter> printer;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--print-writes") {
      // The server calls this with the offsets locked: the line is only queued, and written
      // by the printer's thread, so a standard output nobody reads never holds a client.
      if (!printer) {
        auto started = kavri::LinePrinter::start(env, stdout, PRINT_CAPACITY);
        if (!started) {
          std::cerr << "kavri-sim: " << started.error() << "\n";
          return 1;
        }
        printer = std::move(*started);
      }
      options.on_write = [printer = printer.get()](std::uint32_t offset,
                                                   std::span<const std::uint8_t> bytes) {
        printer->add(write_line(offset, bytes));
      };
    } else if (arg == "--profile" && has_value) {
      const char* path = argv[++i];
      // A regular file only: a FIFO would block the start, a device could be endless.
      const kavri::FileContents file = kavri::read_whole_file(path);
      if (file.access == kavri::FileAccess::none) {
        std::cerr << "kavri-sim: cannot read " << path << ": it "
                  << kavri::file_problem_text(file.problem) << "\n";
        return 1;
      }
      auto profile = kavri::SimProfile::parse(file.bytes);
      if (!profile) {
        std::cerr << "kavri-sim: " << path << ": " << profile.error() << "\n";
        return 1;
      }
      options.profile = std::move(*profile);
    } else if (arg == "--set" && has_value) {
      const auto pin = kavri::parse_pin(argv[++i]);
      if (!pin) return kavri::usage_error(KAVRI_SIM);
      options.pins.push_back(*pin);
    } else if (arg == "--class" && has_value) {
      const auto server_class = kavri::parse_server_class(argv[++i]);
      if (!server_class) return kavri::usage_error(KAVRI_SIM);
      options.server_class = *server_class;
    } else if (arg == "--run-for" && has_value) {
      const std::string_view seconds = argv[++i];
      if (seconds.empty() || seconds.find_first_not_of("0123456789") != std::string_view::npos ||
          seconds.size() > 9) {
        return kavri::usage_error(KAVRI_SIM);
      }
      run_for_ms = kavri::parse_number_text(seconds) * 1000;
    } else {
      return kavri::usage_error(KAVRI_SIM);
    }
  }

#if defined(_WIN32)
  // Clients find the server by its window class.
  const std::string where =
      "as the window " + std::string(kavri::server_class_name(options.server_class));
#else
  options.directory = kavri::default_ipc_directory();
  const std::string where = "in " + options.directory;
#endif
  const bool demo = !options.profile;
  // Before the socket is served: a client may signal the end as soon as it finds it.
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
#if defined(SIGHUP)
  std::signal(SIGHUP, on_signal);  // the terminal closed: end as asked to, socket removed
#endif
  kavri::VirtualSimulator sim(env, std::move(options));
  if (const kavri::Status started = sim.start(); !started) {
    std::cerr << "kavri-sim: " << started.error() << "\n";
    return 1;
  }
  std::cerr << "kavri-sim: serving " << where << (demo ? ", flying the demo flight" : "") << "\n";
  const std::int64_t begin = env.now_ms();
  while (!interrupted.load() && (run_for_ms < 0 || env.now_ms() - begin < run_for_ms)) {
    env.sleep_for(kavri::Millis(50));
  }
  sim.stop();
  if (printer) {
    const bool written = printer->finish(kavri::Millis(500));
    // Through stdio: std::cerr would flush std::cout first, and wait on standard output.
    if (printer->dropped() > 0 || !written) {
      std::fprintf(stderr, "kavri-sim: %llu write lines dropped%s: standard output was not read\n",
                   static_cast<unsigned long long>(printer->dropped()),
                   written ? "" : ", and the last ones not written");
    }
    // The printer's thread is blocked in a write that may never end, holding standard output:
    // a normal exit would wait for it to flush.
    if (!written) std::_Exit(0);
  }
  return 0;
}
