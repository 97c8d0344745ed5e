// The per-module steps of a transfer pass that need neither the bus nor the simulator link:
// loading a received value, converting it, the common position step and change detection.
// They say what to send; the transfer cycle (and the gauge calculator) send or show it.
#pragma once

#include <array>
#include <cstdint>

#include "bus_model/module_record.h"
#include "config/calibration_tables.h"
#include "engine/conversions.h"
#include "engine/module_transfer.h"

namespace kavri {

// The transfer thread's own working variables.
struct TransferWork {
  double working_value = 0;
  std::uint8_t position1 = 0;
  std::uint8_t position2 = 0;
  std::uint8_t glide_flag = 0;        // received from 0x0C4C
  std::uint16_t sim_battery_low = 0;  // received from 0x281C; sim_battery's high half stays 0
  // Send every position and output, changed or not: the modules may have lost what they were
  // last sent (the card was unplugged meanwhile).
  bool send_unchanged = false;
};

struct BusCommand {
  std::uint8_t code = 0;
  std::uint8_t data = 0;
};

// At most two commands (a split position's low then high byte).
struct BusCommands {
  std::array<BusCommand, 2> items{};
  int count = 0;
  void add(std::uint8_t code, std::uint8_t data) {
    items[static_cast<std::size_t>(count++)] = {code, data};
  }
};

// The configuration fields of gauge `gauge` (1 or 2) of a module.
GaugeSettings gauge_settings(const ModuleRecord& m, int gauge);

// The receive area of a value of `length` bytes (1, 2, 4 or 8), or null for any other length:
// such a gauge or output receives nothing and is left undriven, rather than converting
// whatever another gauge left in the working value.
void* receive_area(ReceiveAreas& areas, std::uint8_t length);
bool has_receive_area(std::uint8_t length);

// The calibration points of gauge `gauge` (1 or 2) of slot `module_index`, of the table that
// `type` reads (none for the other types).
GaugeCalibration calibration_points(const CalibrationTables& tables, int module_index, int gauge,
                                    int type);

// One gauge (0: gauge 1, 1: gauge 2) or output (0 or 1) of one module, each only when its
// offset is not 0 and its length has a receive area, and only when it changed (unless
// work.send_unchanged). They read the value received in `t` and update its last position or
// value. `resend` sends a gauge's position even when it equals the last one sent (the needle
// was moved by other means meanwhile).
BusCommands gauge_step(const ModuleRecord& m, ModuleTransfer& t, int gauge,
                       const CalibrationTables& tables, int module_index, TransferWork& work,
                       bool resend = false);
BusCommands output_step(const ModuleRecord& m, ModuleTransfer& t, int output, TransferWork& work);

}  // namespace kavri
