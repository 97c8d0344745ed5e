// The main loop: on the main thread, from the end of the start-up to the shutdown. Each pass
// applies the worker threads' widget updates, reacts to the end of the exploration, keeps the
// transfer thread in step with the simulator link, handles at most one event, runs the pass
// hooks and sleeps 3 ms.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "shell/app_state.h"

namespace kavri {

enum class LoopEnd {
  closed,  // a close event from the main window or the OAT calibration window (or the time)
  fatal,   // a worker asked for a fatal end; its message has been shown
};

// The exploration-over step: closes the progress window, sends the saved backlight once and
// lets the bus carry the transfer.
void handle_exploration_over(AppState& state);

// Starts the link monitor once the first exploration is over; it runs to the end.
void supervise_link_monitor(AppState& state);

// The transfer supervision: while the link is up, the bus explored and no transfer thread
// runs, starts the thread ("Connecté" on green), which first reloads the calibration of every
// gauge of type 12, 14 or 18 (from one reading of the file) and has an unreadable file told
// by the main loop; while the link is down (or the bus not explored: the card went away) and
// the thread runs, stops it and waits until it has ended.
void supervise_transfer(AppState& state);

// One pass; true when the loop must end (`end` then says why). A close, or the time limit,
// ends the loop once no EEPROM write runs.
bool run_pass(AppState& state, std::optional<std::int64_t> close_at_ms, LoopEnd& end);

// Passes until the loop ends. `close_at_ms` (on the Env's clock): from then on the loop ends
// as if the user had closed the main window; so does `end_requested` once it answers true.
// Either way a running EEPROM write is let finish first.
LoopEnd run_main_loop(AppState& state, std::optional<std::int64_t> close_at_ms = std::nullopt,
                      const std::function<bool()>& end_requested = {});

}  // namespace kavri
