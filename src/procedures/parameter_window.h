// The parameter window ("Paramétrages") of one module, its EEPROM write, the calibration
// windows it opens and its export and import buttons.
#pragma once

#include <span>
#include <string_view>

#include "bus_model/module_params.h"
#include "procedures/window_context.h"

namespace kavri {

// One control of a fixed window layout.
struct ControlPlace {
  int number = 0;
  ControlKind kind = ControlKind::label;
  Rect rect;
  std::string_view text = {};
  Align align = Align::left;
  FontId font = FontId::standard;
};

// Adds the controls to `window`.
void add_controls(Toolkit& ui, int window, std::span<const ControlPlace> places);

// Registers, in ctx.dispatch, the handlers of the "Paramètres" button (12) and of every
// control of the parameter window and the three calibration windows, and the pass hook that
// drives an EEPROM write in steps.
void install_parameter_window(WindowContext& ctx);

}  // namespace kavri
