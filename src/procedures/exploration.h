// The bus exploration: on its own thread, reads the card's answers one at a time, builds the
// module table from the scan, asks every module for its parameters, computes the ratios and
// reports that it is done. It never touches a widget: it tells what it finds through
// callbacks, which the shell turns into window updates.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

#include "base/env.h"
#include "bus_model/module_record.h"
#include "device/bus_sender.h"
#include "device/hid.h"

namespace kavri {

// What the exploration tells as it goes. Called on the exploration thread: a receiver must not
// touch a widget itself. An unset callback is skipped.
struct ExplorationEvents {
  // A module answered the scan: its table index, its bus address and its gauge-1 type byte.
  std::function<void(int index, std::uint8_t address, std::uint8_t type_byte)> module_found;
  // The scan is over with `count` modules (at least one); their identification begins.
  std::function<void(int count)> scan_complete;
  // The progress bar's new value, 0-50; told only when it changes.
  std::function<void(int bar)> progress;
  // Every module is identified and its ratios computed.
  std::function<void()> identified;
};

struct ExplorationLinks {
  Env& env;
  BusSender& bus;
  HidCard& card;  // the exploration is the only reader while it runs
  ModuleTable& modules;
  ExplorationEvents events;
  std::atomic<bool>& exploration_done;  // set (release) when the exploration has ended normally
  // A fatal answer: the main thread shows the message box (title, text), then ends the
  // program without saving the settings. The exploration thread returns right after calling it.
  std::function<void(std::string title, std::string text)> fatal;
  int answer_timeout_ms = 5000;  // no answer for this long ends the exploration as fatal
};

// The exploration thread's body. Expects CMD_EXPLORE to have been sent already.
// Returns when the exploration is done, after a fatal answer, when the card is gone (quietly:
// neither done nor fatal), or when `stop` is requested.
void run_exploration(ExplorationLinks links, std::stop_token stop);

}  // namespace kavri
