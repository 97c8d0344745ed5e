// The parameter window ("Paramétrages") of one module, its EEPROM write, the calibration
// windows it opens and its export and import buttons.
#pragma once

#include <span>
#include <string_view>

#include "bus_model/module_params.h"
#include "procedures/param_bindings.h"
#include "procedures/window_context.h"

namespace kavri {

constexpr int PARAMETER_WINDOW = 4;

// The parameter window's controls but for the 28 that show module parameters, which their
// bindings number (procedures/param_bindings.h). A control number
// names one control across every window: the values are fixed.
struct ParameterControl {
  enum : int {
    write_button = 9,
    new_address_field = 10,
    address_field = 11,
    address_caption = 13,
    old_address_caption = 14,
    new_address_caption = 15,
    course_1_caption = 16,
    min_caption = 17,
    max_caption = 18,
    course_2_caption = 21,
    inversion_caption = 26,
    type_caption = 32,
    offset_caption = 34,
    sim_course_1_caption = 40,
    sim_course_2_caption = 41,
    offset_length_caption = 45,
    cancel_button = 48,
    output_1_caption = 69,
    output_2_caption = 70,
    analog_caption = 77,
    analog_param_caption = 82,
    output_a_caption = 83,
    output_b_caption = 84,
    calibrate_1_button = 87,
    calibrate_2_button = 88,
    export_button = 109,
    import_button = 110,
  };
};

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

// Registers, in ctx.dispatch, the handlers of the main window's "Paramètres" button (as
// ctx.main_window names it: set it first) and of every control of the parameter window and
// the three calibration windows, and the pass hook that drives an EEPROM write in steps.
void install_parameter_window(WindowContext& ctx);

}  // namespace kavri
