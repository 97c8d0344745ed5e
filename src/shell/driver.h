// The driver from start to end: start-up (card, main window, settings, progress window,
// CMD_EXPLORE, exploration thread), the main loop, and the shutdown. The platform comes in
// through the ports, so the same driver runs on the USB card or the virtual one, with a real
// toolkit or the headless one, on the real clock or on virtual time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/env.h"
#include "device/hid.h"
#include "shell/app_state.h"
#include "ui/toolkit.h"

namespace kavri {

class IpcTransport;

struct DriverPorts {
  Env& env;
  Toolkit& ui;
  HidLayer& hid;
  IpcTransport& ipc_transport;
  // Where "Kavri.ini" and "Calibrage.ini" are; "" is the current directory.
  std::string directory;
  // On the Env's clock: from then on the main loop ends as if the main window were closed.
  std::optional<std::int64_t> close_at_ms;
  // Called once the start-up is over, before the first pass (a bench adds its own windows,
  // handlers and pass hooks here).
  std::function<void(AppState&)> on_started;
  // Polled after every pass of the main loop: true ends it as a close of the main window
  // does (shell/end_request.h), and from then on no box waits for a click (Toolkit::
  // watch_end). None: only the windows end it.
  std::function<bool()> end_requested{};
  // The driver lock of the card (shell/driver_lock.h), held for the whole run; "" takes none.
  std::string card_lock{};
};

enum class DriverEnd {
  no_card,          // "Je ne trouve pas la carte Kavri" shown; nothing else done
  normal,           // the main loop ended; the settings saved, the card and the link closed
  fatal,            // the exploration's message shown; the settings not saved
  already_running,  // another driver holds the card's lock: said so, nothing else done
};

// The start-up. Null when there is no card: the message has been shown, no window opened and
// the settings file left alone.
std::unique_ptr<AppState> start_up(const DriverPorts& ports);

// The shutdown after a normal end of the main loop: stops the transfer thread and waits for
// it, rewrites the settings file (a file that cannot be written is reported; one that could
// not be read at start-up, which start_up has told of, is left as it is), closes the card,
// closes the simulator link. Nothing may send on the bus afterwards: the card is gone.
void shut_down(AppState& state);

// start_up, run_main_loop, shut_down. The program's exit code is 0 on every one of its ends.
DriverEnd run_driver(const DriverPorts& ports);

}  // namespace kavri
