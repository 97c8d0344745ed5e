// The card across unplugs, as the main loop sees it. When a write or read finds the card gone,
// the bus's worker threads stop, the simulator link, the settings, the calibration tables and
// the windows stay as they are, and the main window shows "Carte absente". The card watcher
// opens the card again once it is back; the bus is then explored afresh, as at start-up, and
// the transfer resumes by itself when the link is up, sending every position again.
#pragma once

#include "shell/app_state.h"

namespace kavri {

// Starts the exploration thread on the card open now (CMD_EXPLORE has been sent).
void start_exploration(AppState& state);

// One pass's watch over the card: notices its loss, looks for its return, and sends the new
// CMD_EXPLORE once the pause after the return is over.
void supervise_card(AppState& state);

// The exploration has ended: the bus may carry the transfer, and after an exploration that
// followed the card's return, the parameter window follows its module to its new table slot,
// or closes with a message when the module is no longer on the bus.
void follow_explored_bus(AppState& state);

}  // namespace kavri
