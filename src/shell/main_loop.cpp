#include "shell/main_loop.h"

#include <algorithm>

#include "base/number_text.h"
#include "modules/calibration_windows.h"
#include "modules/control_numbers.h"
#include "modules/gauge_catalogue.h"
#include "shell/card_supervision.h"

namespace kavri {

namespace {

constexpr Rgb LINK_UP_GREEN{0, 255, 0};

bool has_calibration_table(int type) { return calibration_kind_of_type(type).has_value(); }

void reload_calibration_tables(AppState& state) {
  const int count = std::min<int>(state.modules.module_count, MAX_MODULES);
  for (int i = 0; i < count; ++i) {
    const ModuleRecord& module = state.modules.records[static_cast<std::size_t>(i)];
    const std::string address = format_decimal(module.address);
    if (has_calibration_table(module.gauge1_type)) reload_calibration(state.windows, i, address, 0);
    if (has_calibration_table(module.gauge2_type)) reload_calibration(state.windows, i, address, 1);
  }
}

// Of all windows only the main window and the OAT calibration window have a close box, and a
// close from either ends the program.
bool ends_program(const Event& event) {
  return event.window == MAIN_WINDOW || event.window == OAT_WINDOW;
}

// A copy runs, so that a handler may replace handlers (its own included) while it runs.
void run_handler(const std::map<int, std::function<void()>>& handlers, int number) {
  const auto found = handlers.find(number);
  if (found == handlers.end()) return;
  const std::function<void()> handler = found->second;
  handler();
}

// True when the event ends the loop.
bool handle_event(AppState& state, const Event& event) {
  if (event.kind == Event::Kind::control) {
    run_handler(state.dispatch.control_handlers, event.control);
    return false;
  }
  if (ends_program(event)) return true;
  run_handler(state.dispatch.close_handlers, event.window);
  return false;
}

}  // namespace

void handle_exploration_over(AppState& state) {
  state.ui.destroy_window(PROGRESS_WINDOW);
  if (!state.link_monitor_thread.joinable()) {
    state.link_monitor_thread = state.env.start_thread(
        [&monitor = state.link_monitor](std::stop_token stop) { monitor.run(stop); });
  }
  if (state.backlight_pending.exchange(false)) {
    const int level = state.ui.value(MAIN_BACKLIGHT_SLIDER);
    state.bus.send(CMD_SET_BACKLIGHT, COMMON_ADDRESS, static_cast<std::uint8_t>(level * 17));
  }
  follow_explored_bus(state);
}

void supervise_transfer(AppState& state) {
  const bool running = state.transfer_thread.joinable();
  const bool link_up = state.link_up.load(std::memory_order_acquire);
  const bool bus_ready = state.card_session.bus_explored;
  if (link_up && bus_ready && !running) {
    reload_calibration_tables(state);
    state.transfer_thread = state.env.start_thread(
        [&transfer = state.transfer](std::stop_token stop) { transfer.run(stop); });
    state.ui.set_background(MAIN_STATUS_LABEL, LINK_UP_GREEN);
    state.ui.set_text(MAIN_STATUS_LABEL, "Connecté");
  } else if ((!link_up || !bus_ready) && running) {
    // The label is the link monitor's to change. The thread ends at its next step; it is
    // joined here so that it can never run twice.
    state.transfer_thread.stop_and_join();
  }
}

bool run_pass(AppState& state, std::optional<std::int64_t> close_at_ms, LoopEnd& end) {
  // Read the flag before applying the posts: every update the exploration posted before it
  // finished is then on the screen before the progress window closes.
  const bool exploration_over = state.exploration_done.exchange(false, std::memory_order_acq_rel);
  state.posts.apply_all(state.ui);
  if (auto fatal = state.fatal.take()) {
    state.ui.message_box(fatal->title, fatal->text);
    end = LoopEnd::fatal;
    return true;
  }
  if (exploration_over) handle_exploration_over(state);
  supervise_card(state);
  supervise_transfer(state);

  // Once the end is asked for, events are taken (the windows stay drawn) but not acted on.
  const std::optional<Event> event = state.ui.poll_event();
  if (event && !state.end_requested && handle_event(state, *event)) state.end_requested = true;
  // By index: a hook may add hooks.
  for (std::size_t i = 0; i < state.dispatch.pass_hooks.size(); ++i) {
    const std::function<void()> hook = state.dispatch.pass_hooks[i];
    hook();
  }
  if (close_at_ms && state.env.now_ms() >= *close_at_ms) state.end_requested = true;
  state.env.sleep_for(Millis(3));
  end = LoopEnd::closed;
  // An EEPROM write under way is let finish (half a second at most): cut short, it would
  // leave the module's EEPROM half written.
  return state.end_requested && !state.windows.eeprom.running();
}

LoopEnd run_main_loop(AppState& state, std::optional<std::int64_t> close_at_ms) {
  LoopEnd end = LoopEnd::closed;
  while (!run_pass(state, close_at_ms, end)) {
  }
  return end;
}

}  // namespace kavri
