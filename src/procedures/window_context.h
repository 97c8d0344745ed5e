// What the windows of the main thread share: the toolkit, the bus, the module and calibration
// tables, and the few variables that one window sets and another reads. Main thread only,
// except the tables, whose fields are safe to share (see module_record.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/env.h"
#include "bus_model/module_config.h"
#include "bus_model/module_record.h"
#include "config/calibration_tables.h"
#include "device/bus_messages.h"
#include "device/bus_sender.h"
#include "procedures/eeprom_write.h"
#include "procedures/position_slider.h"
#include "ui/dispatch.h"
#include "ui/toolkit.h"

namespace kavri {

// The gauge that the open calibration window calibrates, fixed when the window opened: neither
// the module selector nor another "calibrage" button can send its points elsewhere.
struct CalibrationBinding {
  int window = 0;
  CalibrationGauge gauge;
  int moved_slider = 0;  // the slider that last drove the needle; 0: none yet
};

// A module of the table as the main window's module selector names it: its table index and
// its bus address.
struct SelectedModule {
  int index = 0;
  std::uint8_t address = 0;
};

// The module that entry `entry` of the module selector names: entry i >= 1 is table index
// i - 1, at the address its record holds (the exploration stores it before it lists the
// module). None for entry 0 ("50", every module), no selection (-1), or an entry past the table.
inline std::optional<SelectedModule> module_of_entry(int entry, const ModuleTable& modules) {
  if (entry < 1 || entry > MAX_MODULES) return std::nullopt;
  return SelectedModule{entry - 1, modules.records[static_cast<std::size_t>(entry - 1)].address};
}
inline std::optional<SelectedModule> selected_module(const Toolkit& ui, int selector,
                                                     const ModuleTable& modules) {
  return module_of_entry(ui.selection(selector), modules);
}

// What the parameter and calibration windows use of the main window, handed to them by the
// main window's owner: they never name its controls. Until it is handed, it names no control
// (-1) and no module.
struct MainWindowLink {
  int parameters_button = -1;  // opens the parameter window of the selected module
  // Its range follows the gauge-1 type chosen in the parameter window.
  PositionSlider position_slider_1{-1, -1};
  // The module selected now; none for the entry that names every module, or no selection.
  std::function<std::optional<SelectedModule>()> selected_module =
      []() -> std::optional<SelectedModule> { return std::nullopt; };
};

struct WindowContext {
  Env& env;
  Toolkit& ui;
  BusSender& bus;
  ModuleTable& modules;
  CalibrationTables& calibration;
  Dispatch& dispatch;
  MainWindowLink main_window{};
  // Tells the transfer which needle the open calibration window drives by hand, as table
  // index x 2 + gauge (0 or 1), or -1 for none. Handed by the driver's owner.
  std::function<void(int)> hand_drive_gauge = [](int) {};

  std::uint8_t editor_module = 0;  // table index last opened in the parameter window
  // The configuration the parameter window shows and the user edits; the record changes only
  // as an EEPROM write sends it.
  ModuleConfig edited{};
  std::optional<CalibrationBinding> calibrating{};  // while a calibration window is open
  // The last load found the calibration file unreadable and the user was told; told again
  // only after a load that could read it.
  bool calibration_file_unreadable = false;
  std::string calibration_file = CALIBRATION_FILE;
  // The folder of the ".jcf" file last chosen in this run; empty until one is.
  std::string gauge_config_folder{};
  // The parameter window's EEPROM write: the program must not end while it runs.
  EepromWriter eeprom{env, bus, modules};
};

}  // namespace kavri
