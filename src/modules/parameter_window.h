// The parameter window ("Paramétrages") of one module, its EEPROM write, the calibration
// windows it opens and its export and import buttons.
#pragma once

#include "modules/window_context.h"

namespace kavri {

// Registers, in ctx.dispatch, the handlers of the "Paramètres" button (12) and of every
// control of the parameter window and the three calibration windows, and the pass hook that
// drives an EEPROM write in steps.
void install_parameter_window(WindowContext& ctx);

}  // namespace kavri
