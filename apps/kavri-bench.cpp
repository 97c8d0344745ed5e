// kavri-bench: the driver on the virtual bench. The same start-up, windows and loop as kavri,
// wired to the virtual card (the modules of --modules FILE or the built-in demo bench), with
// the virtual panel and, unless --no-sim, the virtual simulator served on a thread of its own
// through the real POSIX transport.
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/env.h"
#include "base/standard_options.h"
#include "shell/driver.h"
#include "simlink/ipc_transport.h"
#include "ui/headless_toolkit.h"
#include "virtual/bench_modules_file.h"
#include "virtual/bench_options.h"
#include "virtual/lent_card_layer.h"
#include "virtual/simulator/virtual_simulator.h"
#include "virtual/tracing_card.h"
#include "virtual/virtual_card.h"
#include "virtual/virtual_panel.h"

namespace kavri {
namespace {

std::unique_ptr<Toolkit> make_toolkit(bool headless) {
  if (!headless) return make_platform_toolkit();
  auto ui = std::make_unique<HeadlessToolkit>();
  ui->set_message_sink([](std::string_view title, std::string_view text) {
    std::cerr << title << " : " << text << '\n';
  });
  return ui;
}

// A virtual module keeps its EEPROM across power cycles: what the driver writes goes back into
// the modules file, so the next run explores it.
void save_modules_on_change(VirtualCard& card, const std::string& path) {
  card.set_on_eeprom_change([&card, path] {
    std::string error;
    if (!save_bench_modules(path, card.modules(), error)) std::cerr << error << '\n';
  });
}

// --unplug-at and --replug-at: the card is pulled out and plugged back in by the main loop's
// passes, once each, when their time has come.
void plug_on_schedule(AppState& state, Env& env, VirtualCard& card, std::int64_t started_ms,
                      const BenchOptions& options) {
  for (const auto& [at_ms, unplugged] :
       {std::pair{options.unplug_at_ms, true}, std::pair{options.replug_at_ms, false}}) {
    if (!at_ms) continue;
    state.dispatch.pass_hooks.push_back(
        [&env, &card, due = started_ms + *at_ms, unplugged, done = false]() mutable {
          if (done || env.now_ms() < due) return;
          done = true;
          card.set_unplugged(unplugged);
        });
  }
}

int run_bench(const BenchOptions& options) {
  SystemEnv env;
  std::vector<VirtualModule> modules = demo_bench();
  if (options.modules_file) {
    std::string error;
    auto loaded = load_bench_modules(*options.modules_file, error);
    if (!loaded) {
      std::cerr << error << '\n';
      return 1;
    }
    modules = std::move(*loaded);
  }
  VirtualCard card(std::move(modules));
  if (options.modules_file) save_modules_on_change(card, *options.modules_file);

  std::unique_ptr<TracingCard> tracing;
  if (options.trace_file) {
    tracing = TracingCard::open(card, env, *options.trace_file);
    if (!tracing) {
      std::cerr << "kavri-bench: cannot create the trace file " << *options.trace_file << '\n';
      return 1;
    }
  }
  LentCardLayer hid(&card, tracing.get());

  std::unique_ptr<Toolkit> ui = make_toolkit(options.headless);
  if (!ui) {
    std::cerr << "kavri-bench: no display to open the windows on (try --headless)\n";
    return 1;
  }

  std::unique_ptr<VirtualSimulator> simulator;
  if (!options.no_sim) {
    simulator = std::make_unique<VirtualSimulator>(env, SimOptions{});
    // Another simulator may already serve the link; the driver then talks to that one.
    if (!simulator->start()) std::cerr << "kavri-bench: simulator: " << simulator->error() << '\n';
  }
  std::unique_ptr<IpcTransport> transport = make_platform_transport();

  std::unique_ptr<VirtualPanel> panel;
  DriverPorts ports{env, *ui, hid, *transport, "", {}, {}};
  const std::int64_t started_ms = env.now_ms();
  if (options.run_for_ms) ports.close_at_ms = started_ms + *options.run_for_ms;
  ports.on_started = [&](AppState& state) {
    plug_on_schedule(state, env, card, started_ms, options);
    if (options.headless) return;
    panel = std::make_unique<VirtualPanel>(*ui, card, state.dispatch);
    state.dispatch.pass_hooks.push_back([&panel] { panel->refresh(); });
  };
  run_driver(ports);
  return 0;
}

}  // namespace
}  // namespace kavri

int main(int argc, char** argv) {
  const kavri::ProgramUsage program{"kavri-bench", kavri::BENCH_USAGE};
  if (const auto answer = kavri::answer_help_or_version(argc, argv, program)) return *answer;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const std::optional<kavri::BenchOptions> options = kavri::parse_bench_options(args);
  if (!options) return kavri::usage_error(program);
  return kavri::run_bench(*options);
}
