// The transfer cycle: while the simulator link is up, pass after pass, one batched simulator
// exchange, then every module's gauges, outputs and analog input, then the backlight rule.
#pragma once

#include <memory>
#include <stop_token>

#include "base/env.h"
#include "base/relaxed.h"
#include "bus_model/module_record.h"
#include "config/calibration_tables.h"
#include "device/bus_sender.h"
#include "device/hid.h"
#include "engine/module_transfer.h"
#include "simlink/ipc_client.h"

namespace kavri {

struct TransferLinks {
  Env& env;
  BusSender& bus;
  // Read for the analog answers (the exploration has ended), and twice a second when nothing
  // else was read, so that a card pulled out is noticed even when no value changes.
  HidCard& card;
  IpcClient& ipc;
  ModuleTable& modules;
  const CalibrationTables& calibration;
  const Relaxed<int>& backlight_level;  // the backlight slider's position, 0-15
};

// The analog answer is read with this time-out, so a silent card or module cannot hang a pass.
constexpr Millis ANALOG_READ_TIMEOUT{20};
// An analog request that no answer has matched lapses after this long; the next request then
// goes to the modules after the one that did not answer, so that one silent module cannot
// keep the others from being asked.
constexpr Millis ANALOG_ANSWER_LIFETIME{100};

class TransferCycle {
 public:
  explicit TransferCycle(TransferLinks links);
  ~TransferCycle();

  // The first-pass flag: the start-up sets it before the exploration; the first pass that sees
  // it waits 500 ms before each module and clears it.
  void set_first_pass();

  // The card came back, and its bus is explored anew: what was received and sent for the
  // modules of before is forgotten, the next whole pass sends every position and output,
  // changed or not, and the backlight rule acts afresh. Called while the thread is stopped.
  void resend_everything();

  // The gauge that an open calibration window drives by hand, as table index x 2 + gauge (0 or
  // 1), or -1 for none: the cycle leaves that needle where the window's sliders put it, and
  // sends its position again once the window lets it go. Any thread.
  void set_hand_driven_gauge(int gauge);

  // What the cycle keeps of the module at table index `index` (below MAX_MODULES). Read it
  // only while the thread is stopped.
  const ModuleTransfer& module_transfer(int index) const;

  // The transfer thread's body: passes until `stop` is requested. A stop wakes every wait and
  // ends the thread between two steps; the next run() begins with a fresh pass.
  // The thread runs only while the link is up and the bus explored, so a run begins at the
  // driver's start, at the link's return or at the card's: each run knows no module's analog
  // value, and writes a module's value to the simulator only once the module has answered in
  // this run. Before that, what the simulator holds is left alone: a value the module did not
  // give (the 0 a value starts with, or one from before the lever moved) is never taken there
  // for the lever's position.
  void run(std::stop_token stop);

  // One pass, its closing 5 ms wait included. False when stopped part-way.
  bool run_pass(std::stop_token stop);

 private:
  struct State;
  void exchange_with_simulator(int count, std::stop_token stop);
  void deliver_module(int j);
  void analog_step(const ModuleRecord& m, ModuleTransfer& t, int j);
  void follow_lights();
  void read_when_idle();

  TransferLinks links_;
  std::unique_ptr<State> state_;
};

}  // namespace kavri
