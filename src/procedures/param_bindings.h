// The parameter window's one binding per parameter-table row: the control that shows the
// row's parameter, how it shows a configuration's value, and how it takes the user's edit
// back into that value. Nothing else of the window reads or writes these controls.
#pragma once

#include "bus_model/module_config.h"
#include "bus_model/module_params.h"
#include "ui/toolkit.h"

namespace kavri {

// The parameter window's control that shows `param`, as the parameter table numbers it.
int param_control(Param param);

// Shows the parameter: a text as it is, a type list's entry (-1: none), a box's state.
void show_param(Toolkit& ui, const ModuleConfig& config, Param param);
// Takes what the control holds now into the configuration: the text as typed, the selected
// entry, a box as 1 (ticked) or 0.
void take_param(const Toolkit& ui, ModuleConfig& config, Param param);

// Every row, shown or taken.
void show_params(Toolkit& ui, const ModuleConfig& config);
void take_params(const Toolkit& ui, ModuleConfig& config);

}  // namespace kavri
