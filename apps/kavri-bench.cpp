// kavri-bench: the driver on the virtual bench. The same start-up, windows and loop as kavri,
// wired to the virtual card (the modules of --modules FILE or the built-in demo bench), with
// the virtual panel and, unless --no-sim, the virtual simulator served on a thread of its own
// through the real POSIX transport.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/platform_text.h"
#include "base/standard_options.h"
#include "base/text_excerpt.h"
#include "shell/driver.h"
#include "shell/driver_lock.h"
#include "shell/end_request.h"
#include "shell/main_window.h"
#include "shell/parent_console.h"
#include "shell/simulator_link.h"
#include "ui/headless_toolkit.h"
#include "virtual/bench_modules_file.h"
#include "virtual/bench_options.h"
#include "virtual/lent_card_layer.h"
#include "virtual/quiet_saver.h"
#include "virtual/simulator/virtual_simulator.h"
#include "virtual/tracing_card.h"
#include "virtual/virtual_card.h"
#include "virtual/virtual_panel.h"

namespace kavri {
namespace {

// How often a bench whose simulator found the link served by another tries to serve it.
constexpr Millis SIMULATOR_RETRY{1000};

std::unique_ptr<Toolkit> make_toolkit(bool headless) {
  if (!headless) return make_platform_toolkit();
  auto ui = std::make_unique<HeadlessToolkit>();
  ui->set_message_sink([](std::string_view title, std::string_view text) {
    std::cerr << title << " : " << text << '\n';
  });
  return ui;
}

// A virtual module keeps its EEPROM across power cycles: what the driver writes goes back into
// the modules file, so the next run explores it. Saved off the thread that writes, once the
// writes have stopped. Null, the reason said, when the system refuses the saver's thread.
std::unique_ptr<QuietSaver> save_modules_on_change(Env& env, VirtualCard& card,
                                                   const std::string& path) {
  auto started = QuietSaver::start(env, [&card, path] {
    const Status saved = save_bench_modules(path, card.modules());
    if (!saved) std::cerr << saved.error() << '\n';
  });
  if (!started) {
    std::cerr << "kavri-bench: " << started.error() << "\n";
    return nullptr;
  }
  std::unique_ptr<QuietSaver> saver = std::move(*started);
  card.set_on_eeprom_change([&saver = *saver] { saver.changed(); });
  return saver;
}

// What the bench does on its own as the main loop passes: --unplug-at and --replug-at, each once
// when its time has come on the bench's clock (the trace's), and, without a window, what the main
// window's card label and link status show, told on standard error as they change.
class BenchScript {
 public:
  BenchScript(Env& env, VirtualCard& card, const BenchOptions& options)
      : env_(env), card_(card), options_(options) {}

  void on_pass(const Toolkit& ui) {
    const std::int64_t now_ms = env_.now_ms();
    if (take_due(unplug_at_ms_, now_ms)) card_.set_unplugged(true);
    if (take_due(replug_at_ms_, now_ms)) card_.set_unplugged(false);
    if (!options_.headless) return;
    tell_change(ui.text(MainControl::card_label), card_shown_, now_ms, "the card present again");
    tell_change(ui.text(MainControl::status_label), status_shown_, now_ms, "no link status");
  }

 private:
  // True once, when the time has come.
  static bool take_due(std::optional<std::int64_t>& at_ms, std::int64_t now_ms) {
    if (!at_ms || now_ms < *at_ms) return false;
    at_ms.reset();
    return true;
  }
  static void tell_change(const std::string& label, std::string& shown, std::int64_t now_ms,
                          const char* when_empty) {
    if (label == shown) return;
    shown = label;
    std::cerr << "kavri-bench: " << now_ms << " ms: main window shows "
              << (label.empty() ? when_empty : "\"" + label + "\"") << '\n';
  }

  Env& env_;
  VirtualCard& card_;
  const BenchOptions& options_;
  std::optional<std::int64_t> unplug_at_ms_ = options_.unplug_at_ms;
  std::optional<std::int64_t> replug_at_ms_ = options_.replug_at_ms;
  std::string card_shown_;
  std::string status_shown_;
};

int run_bench(const BenchOptions& options) {
  std::unique_ptr<Toolkit> ui = make_toolkit(options.headless);
  if (!ui) {
    std::cerr << "kavri-bench: no display to open the windows on (try --headless)\n";
    return 1;
  }
  // The modules file is the bench's card: two benches on one file would share its EEPROM. Its
  // lock comes first, so that a bench refused leaves the running one's files and link alone.
  std::unique_ptr<DriverLock> lock;
  if (options.modules_file) {
    DriverEnd refused = DriverEnd::already_running;
    lock = take_card_lock(*ui, bench_lock_name(*options.modules_file), refused);
    if (!lock) return exit_code_of(refused);
  }
  SystemEnv env;
  std::vector<VirtualModule> modules = demo_bench();
  if (options.modules_file) {
    auto loaded = load_bench_modules(*options.modules_file);
    if (!loaded) {
      std::cerr << loaded.error() << '\n';
      return 1;
    }
    modules = std::move(*loaded);
  }
  VirtualCard card(std::move(modules));
  card.keep_received(false);
  std::unique_ptr<QuietSaver> modules_saver;
  if (options.modules_file) {
    // Without it the driver's EEPROM writes would be lost: the bench ends, the file as it was.
    modules_saver = save_modules_on_change(env, card, *options.modules_file);
    if (!modules_saver) return 1;
  }

  std::unique_ptr<TracingCard> tracing;
  if (options.trace_file) {
    const std::string shown = excerpt(*options.trace_file);
    tracing = TracingCard::open(card, env, *options.trace_file, [shown] {
      std::cerr << "kavri-bench: cannot write the trace file " << shown
                << " any more (disk full?); the trace stops here\n";
    });
    if (!tracing) {
      std::cerr << "kavri-bench: cannot create the trace file " << shown
                << " (it must be a regular file that can be written)\n";
      return 1;
    }
  }
  LentCardLayer hid(&card, tracing.get());

  std::unique_ptr<VirtualSimulator> simulator;
  bool serving = false;
  if (!options.no_sim) {
    simulator = std::make_unique<VirtualSimulator>(env, SimOptions{});
    const Status started = simulator->start();
    serving = started.ok();
    if (!serving) {
      std::cerr << "kavri-bench: the built-in simulator cannot serve the link (" << started.error()
                << "): the driver uses the simulator that serves it now "
                << "(another kavri-bench or kavri-sim), and this bench serves its own as soon "
                << "as that one ends\n";
    }
  }
  auto transport = make_simulator_link({options.link.value_or(""), options.key_file.value_or("")});
  if (!transport) {
    std::cerr << "kavri-bench: " << transport.error() << '\n';
    return 1;
  }

  std::unique_ptr<VirtualPanel> panel;
  DriverPorts ports{env, *ui, hid, **transport, "", {}, {}};
  ports.end_requested = end_requested;
  BenchScript script(env, card, options);
  if (options.run_for_ms) ports.close_at_ms = env.now_ms() + *options.run_for_ms;
  ports.on_started = [&](AppState& state) {
    state.dispatch.pass_hooks.push_back([&script, &ui] { script.on_pass(*ui); });
    if (simulator && !serving) {
      state.dispatch.pass_hooks.push_back(
          [&env, &simulator, &serving, next_try = env.now_ms()]() mutable {
            if (serving || env.now_ms() < next_try) return;
            next_try = env.now_ms() + SIMULATOR_RETRY.count();
            serving = simulator->start().ok();
            if (serving) std::cerr << "kavri-bench: the built-in simulator now serves the link\n";
          });
    }
    if (options.headless) return;
    panel = std::make_unique<VirtualPanel>(*ui, card, state.dispatch);
    state.dispatch.pass_hooks.push_back([&panel] { panel->refresh(); });
  };
  return exit_code_of(run_driver(ports));
}

}  // namespace
}  // namespace kavri

int main(int argc, char** argv) {
  kavri::use_parent_console();  // a windowed program on Windows
  kavri::use_console_text();
  const kavri::ProgramUsage program{"kavri-bench", kavri::BENCH_USAGE};
  if (const auto answer = kavri::answer_help_or_version(argc, argv, program)) return *answer;
  kavri::watch_end_requests();  // before the simulator's and the driver's threads start
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const std::optional<kavri::BenchOptions> options = kavri::parse_bench_options(args);
  if (!options) return kavri::usage_error(program);
  return kavri::run_bench(*options);
}
