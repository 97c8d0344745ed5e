#include "shell/main_loop.h"

#include "procedures/calibration_windows.h"
#include "procedures/progress_window.h"
#include "shell/card_supervision.h"
#include "shell/main_window.h"
#include "shell/worker_start.h"

namespace kavri {

namespace {

constexpr Rgb LINK_UP_GREEN{0, 255, 0};

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
  if (state.backlight_pending.exchange(false)) {
    const int level = state.ui.value(MainControl::backlight_slider);
    state.bus.send(CMD_SET_BACKLIGHT, COMMON_ADDRESS, backlight_brightness(level));
  }
  follow_explored_bus(state);
  resend_calibration_needle(state.windows);
}

void supervise_link_monitor(AppState& state) {
  if (state.card_session.bus_explored && !state.link_monitor_thread.joinable()) {
    start_worker(
        state, state.link_monitor_thread,
        [&monitor = state.link_monitor](std::stop_token stop) { monitor.run(stop); },
        "link monitor");
  }
}

void supervise_transfer(AppState& state) {
  const bool running = state.transfer_thread.joinable();
  const bool link_up = state.link_up.load(std::memory_order_acquire);
  const bool bus_ready = state.card_session.bus_explored;
  if (link_up && bus_ready && !running && worker_start_due(state)) {
    // The transfer thread reads the calibration file again before its first pass: a large file
    // never holds up the windows. It tells of an unreadable file through the main loop, once
    // the transfer runs, so that the message box does not hold up the gauges either.
    const auto reload_then_run = [&windows = state.windows, &posts = state.posts,
                                  &transfer = state.transfer,
                                  gauges = gauges_to_reload(state.windows),
                                  path = state.windows.calibration_file](std::stop_token stop) {
      const PrefsOpening opening = load_calibrations(windows.calibration, gauges, path);
      posts.post([&windows, opening](Toolkit&) { report_calibration_file(windows, opening); });
      transfer.run(std::move(stop));
    };
    if (!start_worker(state, state.transfer_thread, reload_then_run, "transfer")) return;
    state.ui.set_background(MainControl::status_label, LINK_UP_GREEN);
    state.ui.set_text(MainControl::status_label, "Connecté");
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
  supervise_link_monitor(state);
  supervise_transfer(state);

  // Once the end is asked for, events are taken (the windows stay drawn) but not acted on.
  const std::optional<Event> event = state.ui.poll_event();
  if (event && !state.end_requested && handle_event(state, *event)) state.end_requested = true;
  // By index: a hook may add hooks.
  for (std::size_t i = 0; i < state.dispatch.pass_hooks.size(); ++i) state.dispatch.pass_hooks[i]();
  if (close_at_ms && state.env.now_ms() >= *close_at_ms) state.end_requested = true;
  state.env.sleep_for(Millis(3));
  end = LoopEnd::closed;
  // An EEPROM write under way is let finish (half a second at most): cut short, it would
  // leave the module's EEPROM half written.
  return state.end_requested && !state.windows.eeprom.running();
}

LoopEnd run_main_loop(AppState& state, std::optional<std::int64_t> close_at_ms,
                      const std::function<bool()>& end_requested) {
  LoopEnd end = LoopEnd::closed;
  while (!run_pass(state, close_at_ms, end)) {
    if (end_requested && end_requested()) state.end_requested = true;
  }
  return end;
}

}  // namespace kavri
