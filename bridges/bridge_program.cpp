#include "bridges/bridge_program.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "base/line_printer.h"
#include "config/file_access.h"

namespace kavri {
namespace {

constexpr Millis DRAIN_WAIT{1000};
// Lines of --print waiting for standard output at most; more are dropped and counted.
constexpr std::size_t PRINT_CAPACITY = 1000;

// The end signals may be taken on any of the program's threads: a lock-free atomic, not a
// volatile flag, is what another thread reads soundly (and is safe in a signal handler).
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_signal(int) { interrupted.store(true); }

}  // namespace

std::optional<BridgeMap> load_map_file(const char* program, const std::optional<std::string>& path,
                                       const SimulatorNames& names, const BridgeMap& builtin,
                                       int& exit_code) {
  if (!path) return builtin;
  const FileContents file = read_whole_file(*path);
  if (file.access == FileAccess::none) {
    std::cerr << program << ": cannot read the map " << *path << ": it "
              << file_problem_text(file.problem) << "\n";
    exit_code = 1;
    return std::nullopt;
  }
  auto map = parse_bridge_map(file.bytes, *path, names);
  if (!map) {
    std::cerr << program << ": " << map.error() << "\n";
    exit_code = 2;
    return std::nullopt;
  }
  return std::move(*map);
}

Status write_file_whole(const std::string& path, std::string_view bytes) {
  std::error_code code;
  const auto status = std::filesystem::symlink_status(path, code);
  if (status.type() != std::filesystem::file_type::not_found &&
      status.type() != std::filesystem::file_type::regular) {
    return fail("cannot write " + path + ": something other than a file is there");
  }
  if (!replace_file(path, bytes)) return fail("cannot write " + path);
  return done();
}

void catch_end_signals() {
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
#ifdef SIGHUP
  std::signal(SIGHUP, on_signal);
#endif
}

bool end_signal_received() { return interrupted.load(); }

int run_bridge_program(const BridgeRun& run) {
  const auto made = make_platform_udp_socket(run.listen, run.peer, run.accept);
  if (!made) {
    std::cerr << run.program << ": " << made.error() << "\n";
    return 1;
  }
  UdpSocket* const socket = made->get();
  // Standard error is tied to standard output, which it would flush (and wait for, when nobody
  // reads it) before each message.
  std::cerr.tie(nullptr);
  SystemEnv env;
  std::unique_ptr<LinePrinter> printer;
  BridgeOptions options;
  options.on_news = [program = run.program](const std::string& sentence) {
    std::cerr << program << ": " << sentence << std::endl;
  };
  if (run.print) {
    auto started = LinePrinter::start(env, stdout, PRINT_CAPACITY);
    if (!started) {
      std::cerr << run.program << ": " << started.error() << "\n";
      return 1;
    }
    printer = std::move(*started);
    options.on_values = [&printer](std::span<const OffsetValue> offsets) {
      printer->add(offsets_text(offsets));
    };
  }
  const std::unique_ptr<Bridge> bridge = run.make_bridge(env, *socket, std::move(options));
  std::cerr << run.program << ": listening on " << run.listen.host << ":" << socket->local_port()
            << ", " << run.peer_label << " " << run.peer.host << ":" << run.peer.port << std::endl;
  catch_end_signals();
  if (const Status started = bridge->start(); !started) {
    // Nothing was asked of the simulator yet: its subscriptions start on the bridge's thread.
    std::cerr << run.program << ": " << started.error() << "\n";
    return 1;
  }
  const std::int64_t begin = env.now_ms();
  while (!interrupted.load() && (!run.run_for_ms || env.now_ms() - begin < *run.run_for_ms)) {
    env.sleep_for(Millis(50));
  }
  bridge->stop();
  // Standard output that nobody reads would hold the exit's own flush for ever.
  if (printer && !printer->finish(DRAIN_WAIT)) {
    std::cerr << run.program << ": standard output takes no more lines" << std::endl;
    std::_Exit(0);
  }
  return 0;
}

}  // namespace kavri
