// The bus exploration: on its own thread, reads the card's answers one at a time, builds the
// module table from the scan, asks every module for its parameters, computes the ratios and
// reports that it is done. It never touches a widget: window updates go through UiPosts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

#include "base/env.h"
#include "device/bus_sender.h"
#include "device/hid.h"
#include "modules/module_record.h"
#include "ui/ui_posts.h"

namespace kavri {

struct ExplorationLinks {
  Env& env;
  BusSender& bus;
  HidCard& card;  // the exploration is the only reader while it runs
  ModuleTable& modules;
  UiPosts& posts;
  std::atomic<bool>& exploration_done;  // set (release) when the exploration has ended normally
  // A fatal answer: the main thread shows the message box (title, text), then ends the
  // program without saving the settings. The exploration thread returns right after calling it.
  std::function<void(std::string title, std::string text)> fatal;
  int answer_timeout_ms = 5000;  // no answer for this long ends the exploration as fatal
};

// The progress window "progression" (window 1) with its bar and caption.
void open_progress_window(Toolkit& ui);

// The exploration thread's body. Expects CMD_EXPLORE to have been sent already.
// Returns when the exploration is done, after a fatal answer, or when `stop` is requested.
void run_exploration(ExplorationLinks links, std::stop_token stop);

}  // namespace kavri
