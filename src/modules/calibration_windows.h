// The three calibration windows (suction, OAT, fuel): one slider per graduation of the dial;
// every movement drives the real needle at once and sets the point in the calibration table,
// and "Valider" saves the points in the calibration file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "modules/window_context.h"

namespace kavri {

// The module that the main window's module selector names: entry i >= 1 is table index i - 1,
// with the entry's text as its address. None for entry 0 ("50", every module), no selection,
// or an entry past the table.
struct SelectedModule {
  int index = 0;
  std::string address_text;
};
std::optional<SelectedModule> selected_module(const Toolkit& ui);

void open_suction_window(WindowContext& ctx);
void open_oat_window(WindowContext& ctx);
void open_fuel_window(WindowContext& ctx);

// A "calibrage" button of gauge `gauge` (0 or 1) whose type list shows entry `type_index`:
// sets the calibration gauge selector and position command code, opens the window of the
// type, then reloads the selected module's points. Refused (nothing happens) when no module
// is selected.
void calibrate_gauge(WindowContext& ctx, int gauge, int type_index);

// Registers the handlers of the calibration windows' sliders and buttons.
void install_calibration_windows(WindowContext& ctx);

// load_calibration of one gauge of one module from the calibration file, then, when a
// calibration window is open on that module and gauge, sets its sliders from the points (or
// presets them from the module's course limits when the gauge is not yet calibrated).
void reload_calibration(WindowContext& ctx, int module_index, std::string_view address_text,
                        int gauge);

}  // namespace kavri
