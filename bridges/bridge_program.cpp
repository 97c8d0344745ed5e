#include "bridges/bridge_program.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "config/file_access.h"

namespace kavri {
namespace {

constexpr Millis DRAIN_WAIT{1000};

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
  std::string error;
  auto map = parse_bridge_map(file.bytes, *path, names, error);
  if (!map) {
    std::cerr << program << ": " << error << "\n";
    exit_code = 2;
  }
  return map;
}

bool write_file_whole(const std::string& path, std::string_view bytes, std::string& error) {
  std::error_code code;
  const auto status = std::filesystem::symlink_status(path, code);
  if (status.type() != std::filesystem::file_type::not_found &&
      status.type() != std::filesystem::file_type::regular) {
    error = "cannot write " + path + ": something other than a file is there";
    return false;
  }
  if (!replace_file(path, bytes)) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

LinePrinter::LinePrinter()
    : thread_([this](std::stop_token stop) { write_lines(std::move(stop)); }) {}

LinePrinter::~LinePrinter() {
  if (stuck()) {
    thread_.detach();
    return;
  }
  thread_.request_stop();
  wake_.notify_all();
}

void LinePrinter::print(std::string line) {
  {
    std::lock_guard lock(mutex_);
    if (waiting_.size() >= MAX_WAITING) {
      ++dropped_;
      return;
    }
    waiting_.push_back(std::move(line));
  }
  wake_.notify_all();
}

bool LinePrinter::stuck() {
  const auto give_up = std::chrono::steady_clock::now() + DRAIN_WAIT;
  std::unique_lock lock(mutex_);
  while (!waiting_.empty() || writing_) {
    if (std::chrono::steady_clock::now() >= give_up) return true;
    lock.unlock();
    std::this_thread::sleep_for(Millis(10));
    lock.lock();
  }
  return false;
}

std::int64_t LinePrinter::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

void LinePrinter::write_lines(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (wake_.wait(lock, stop, [this] { return !waiting_.empty(); })) {
    const std::string line = std::move(waiting_.front());
    waiting_.pop_front();
    writing_ = true;
    lock.unlock();
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    lock.lock();
    writing_ = false;
  }
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
  std::string error;
  const auto socket = make_platform_udp_socket(run.listen, run.peer, run.accept, error);
  if (!socket) {
    std::cerr << run.program << ": " << error << "\n";
    return 1;
  }
  // Standard error is tied to standard output, which it would flush (and wait for, when nobody
  // reads it) before each message.
  std::cerr.tie(nullptr);
  std::unique_ptr<LinePrinter> printer;
  BridgeOptions options;
  options.on_news = [program = run.program](const std::string& sentence) {
    std::cerr << program << ": " << sentence << std::endl;
  };
  if (run.print) {
    printer = std::make_unique<LinePrinter>();
    options.on_values = [&printer](std::span<const OffsetValue> offsets) {
      printer->print(offsets_text(offsets));
    };
  }
  SystemEnv env;
  const std::unique_ptr<Bridge> bridge = run.make_bridge(env, *socket, std::move(options));
  std::cerr << run.program << ": listening on " << run.listen.host << ":" << socket->local_port()
            << ", " << run.peer_label << " " << run.peer.host << ":" << run.peer.port << std::endl;
  catch_end_signals();
  bridge->start();
  const std::int64_t begin = env.now_ms();
  while (!interrupted.load() && (!run.run_for_ms || env.now_ms() - begin < *run.run_for_ms)) {
    env.sleep_for(Millis(50));
  }
  bridge->stop();
  // Standard output that nobody reads would hold the exit's own flush for ever.
  if (printer && printer->stuck()) {
    std::cerr << run.program << ": standard output takes no more lines" << std::endl;
    std::_Exit(0);
  }
  return 0;
}

}  // namespace kavri
