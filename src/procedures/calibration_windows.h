// The three calibration windows (suction, OAT, fuel): one slider per graduation of the dial;
// every movement drives the real needle at once and sets the point in the calibration table,
// and "Valider" saves the points in the calibration file. One calibration window is open at
// a time.
#pragma once

#include <vector>

#include "procedures/window_context.h"

namespace kavri {

constexpr int SUCTION_WINDOW = 3;
constexpr int OAT_WINDOW = 5;
constexpr int FUEL_WINDOW = 6;

// The calibration windows' controls; a slider or a graduation is named for the dial's
// graduation it stands beside. A control number names one control across every window: the
// values are fixed.
struct SuctionControl {
  enum : int {
    slider_0 = 89,
    slider_3 = 90,
    slider_4 = 91,
    slider_5 = 92,
    slider_6 = 93,
    slider_7 = 94,
    validate_button = 95,
    cancel_button = 96,
    marker_caption = 97,
    position_caption = 98,
    graduation_0 = 99,
    graduation_3 = 100,
    graduation_4 = 101,
    graduation_5 = 102,
    graduation_6 = 103,
    graduation_7 = 104,
  };
};

struct OatControl {
  enum : int {
    marker_caption = 113,
    position_caption = 114,
    graduation_50 = 115,
    graduation_40 = 116,
    graduation_20 = 117,
    graduation_0 = 118,
    graduation_minus_20 = 119,
    graduation_minus_40 = 120,
    graduation_minus_50 = 121,
    slider_50 = 122,
    slider_40 = 123,
    slider_20 = 124,
    slider_0 = 125,
    slider_minus_20 = 126,
    slider_minus_40 = 127,
    slider_minus_50 = 128,
    validate_button = 129,
    cancel_button = 130,
  };
};

// The fuel window's captions have numbers of their own, past the suction window's by 1000:
// the two windows share a layout but never a control number.
struct FuelControl {
  enum : int {
    slider_0 = 131,
    slider_25 = 132,
    slider_50 = 133,
    slider_75 = 134,
    slider_100 = 135,
    validate_button = 136,
    cancel_button = 137,
    marker_caption = 1097,
    position_caption = 1098,
    graduation_0 = 1099,
    graduation_25 = 1100,
    graduation_50 = 1101,
    graduation_75 = 1102,
    graduation_100 = 1103,
  };
};

// Opens the calibration window of `kind` for one gauge of one module and binds it to that
// gauge: its title names the module's address and the gauge, its sliders drive that needle
// alone (the transfer cycle leaves it to them), and "Valider" saves that gauge's points. The
// points are loaded from the calibration file; a gauge not yet calibrated is preset from its
// course limits. The window belongs to the parameter window: it stands in front of it, and
// closes with it (its points stay in the table, as after "Annuler").
void open_calibration_window(WindowContext& ctx, CalibrationKind kind,
                             const CalibrationGauge& gauge);

// A "calibrage" button of gauge `gauge` (0 or 1) of `module` whose type list shows entry
// `type_index`: opens the window of the type. While a calibration window is open, the same
// button leaves it as it is, and any other is refused with a message: the open window's
// unsaved points are never moved to another gauge.
void calibrate_gauge(WindowContext& ctx, const SelectedModule& module, int gauge, int type_index);

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
