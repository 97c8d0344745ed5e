// What the windows of the main thread share: the toolkit, the bus, the module and calibration
// tables, and the few variables that one window sets and another reads. Main thread only,
// except the tables, whose fields are safe to share (see module_record.h).
#pragma once

#include <cstdint>
#include <string>

#include "base/env.h"
#include "config/calibration_tables.h"
#include "device/bus_messages.h"
#include "device/bus_sender.h"
#include "modules/eeprom_write.h"
#include "modules/module_record.h"
#include "ui/dispatch.h"
#include "ui/toolkit.h"

namespace kavri {

struct WindowContext {
  Env& env;
  Toolkit& ui;
  BusSender& bus;
  ModuleTable& modules;
  CalibrationTables& calibration;
  Dispatch& dispatch;

  std::uint8_t editor_module = 0;      // table index last opened in the parameter window
  std::uint8_t calibration_gauge = 0;  // 0 or 1
  std::uint8_t calibration_command = CMD_SET_POSITION_1;  // 3 or 4
  std::string calibration_file = CALIBRATION_FILE;
  // The parameter window's EEPROM write: the program must not end while it runs.
  EepromWriter eeprom{env, bus, modules};
};

}  // namespace kavri
