#include "procedures/param_bindings.h"

#include <array>
#include <cstddef>

namespace kavri {

int param_control(Param param) {
  // In the parameter table's order, one control per parameter.
  static constexpr std::array<int, PARAM_FIELD_COUNT> kControls{
      19, 20, 22, 23, 24, 25, 29, 52, 33, 35, 36, 38, 37, 39,
      46, 47, 71, 72, 73, 74, 75, 76, 78, 79, 80, 81, 85, 86};
  return kControls[static_cast<std::size_t>(param)];
}

void show_param(Toolkit& ui, const ModuleConfig& config, Param param) {
  const auto slot = static_cast<std::size_t>(param);
  switch (param_info(param).kind) {
    case ParamKind::number:
    case ParamKind::offset:
      ui.set_text(param_control(param), config.texts[slot]);
      break;
    case ParamKind::type_list:
      ui.set_selection(param_control(param), config.states[slot]);
      break;
    case ParamKind::inversion_box:
      ui.set_value(param_control(param), config.states[slot]);
      break;
  }
}

void take_param(const Toolkit& ui, ModuleConfig& config, Param param) {
  const auto slot = static_cast<std::size_t>(param);
  switch (param_info(param).kind) {
    case ParamKind::number:
    case ParamKind::offset:
      config.texts[slot] = ui.text(param_control(param));
      break;
    case ParamKind::type_list:
      config.states[slot] = ui.selection(param_control(param));
      break;
    case ParamKind::inversion_box:
      config.states[slot] = ui.value(param_control(param)) != 0 ? 1 : 0;
      break;
  }
}

void show_params(Toolkit& ui, const ModuleConfig& config) {
  for (const ParamInfo& info : param_infos()) show_param(ui, config, info.param);
}

void take_params(const Toolkit& ui, ModuleConfig& config) {
  for (const ParamInfo& info : param_infos()) take_param(ui, config, info.param);
}

}  // namespace kavri
