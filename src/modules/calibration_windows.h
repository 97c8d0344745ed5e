// The three calibration windows (suction, OAT, fuel).
#pragma once

#include <string_view>

#include "modules/window_context.h"

namespace kavri {

// load_calibration of one gauge of one module from the calibration file, then, when a
// calibration window is open, sets its sliders from the points (or presets them from the
// course limits of the selected module when the gauge is not yet calibrated).
void reload_calibration(WindowContext& ctx, int module_index, std::string_view address_text,
                        int gauge);

}  // namespace kavri
