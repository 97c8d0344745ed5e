// The three calibration windows (suction, OAT, fuel): one slider per graduation of the dial;
// every movement drives the real needle at once and sets the point in the calibration table,
// and "Valider" saves the points in the calibration file. One calibration window is open at
// a time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "procedures/window_context.h"

namespace kavri {

// The module that the main window's module selector names: entry i >= 1 is table index i - 1,
// with the entry's text as its address. None for entry 0 ("50", every module), no selection,
// or an entry past the table.
struct SelectedModule {
  int index = 0;
  std::string address_text;
};
std::optional<SelectedModule> selected_module(const Toolkit& ui);

// Opens the calibration window of `kind` for one gauge of one module and binds it to that
// gauge: its title names the module's address and the gauge, its sliders drive that needle
// alone (the transfer cycle leaves it to them), and "Valider" saves that gauge's points. The
// points are loaded from the calibration file; a gauge not yet calibrated is preset from its
// course limits.
void open_calibration_window(WindowContext& ctx, CalibrationKind kind,
                             const CalibrationGauge& gauge);

// A "calibrage" button of gauge `gauge` (0 or 1) whose type list shows entry `type_index`:
// opens the window of the type for the module selected in the main window. Refused (nothing
// happens) when no module is selected. While a calibration window is open, the same button
// leaves it as it is, and any other is refused with a message: the open window's unsaved
// points are never moved to another gauge.
void calibrate_gauge(WindowContext& ctx, int gauge, int type_index);

// After the bus was explored again (a module may have lost power meanwhile), the open window
// drives its needle again to the slider that last moved: the transfer cycle leaves it alone.
void resend_calibration_needle(WindowContext& ctx);

// Registers the handlers of the calibration windows' sliders and buttons.
void install_calibration_windows(WindowContext& ctx);

// What the reload before each start of the transfer thread reads again from the calibration
// file: every gauge of type 12, 14 or 18 of the module table, but for the gauge that an open
// calibration window holds (its points are the window's until it closes). Main thread.
std::vector<CalibrationGauge> gauges_to_reload(const WindowContext& ctx);

// Tells the user, once, that a load found the calibration file unreadable (it is left as it
// is); once the file reads again, a later failure is told again.
void report_calibration_file(WindowContext& ctx, PrefsOpening opening);

}  // namespace kavri
