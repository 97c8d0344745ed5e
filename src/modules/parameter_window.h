// The parameter window ("Paramétrages") of one module, its EEPROM write, the calibration
// windows it opens and its export and import buttons.
#pragma once

#include <span>
#include <string_view>

#include "modules/module_params.h"
#include "modules/window_context.h"

namespace kavri {

// Controls of the parameter window that other code acts on.
constexpr int PARAM_WRITE_BUTTON = 9;
constexpr int PARAM_NEW_ADDRESS_FIELD = 10;
constexpr int PARAM_ADDRESS_FIELD = 11;
constexpr int PARAM_CANCEL_BUTTON = 48;
constexpr int PARAM_GAUGE1_TYPE_LIST = 29;
constexpr int PARAM_GAUGE2_TYPE_LIST = 52;
constexpr int PARAM_CALIBRATE_1_BUTTON = 87;
constexpr int PARAM_CALIBRATE_2_BUTTON = 88;
constexpr int PARAM_EXPORT_BUTTON = 109;
constexpr int PARAM_IMPORT_BUTTON = 110;

// How a module parameter appears in the window.
enum class FieldKind {
  number,         // decimal text
  offset,         // "$" and four upper-case hex digits
  type_list,      // list entry = type - 1
  inversion_box,  // ticked exactly when the parameter is 255
};

struct ParamField {
  Param param;
  int control;
  FieldKind kind;
};

// The 28 module parameters with the control that shows each, in EEPROM write order.
std::span<const ParamField> param_fields();

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
