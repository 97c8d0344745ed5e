// The main window's own controls. They send at most two reports each, never wait, and act on
// the module selector's selection, except the four course buttons, which act on the module
// last opened in the parameter window.
#include <cstdint>
#include <optional>

#include "base/number_text.h"
#include "bus_model/gauge_types.h"
#include "procedures/position_slider.h"
#include "shell/main_window.h"

namespace kavri {

namespace {

constexpr PositionSlider POSITION_SLIDER_1{MainControl::position_slider_1,
                                           MainControl::value_field_1};

std::uint8_t low_byte(std::int64_t value) { return static_cast<std::uint8_t>(value); }

// The module the selector names now; none for entry "50" (every module) or no selection.
std::optional<SelectedModule> selection(const AppState& state) {
  return selected_module(state.ui, MainControl::module_selector, state.modules);
}

// The address a report goes to: the selected module's. With entry "50" or no selection yet
// (during the exploration the selector holds "50" alone) it is the common address.
std::uint8_t address_of(const std::optional<SelectedModule>& module) {
  return module ? module->address : COMMON_ADDRESS;
}
std::uint8_t selected_address(const AppState& state) { return address_of(selection(state)); }

// The record of a selected module; null when the table does not hold it (yet).
const ModuleRecord* record_of(const AppState& state, const std::optional<SelectedModule>& module) {
  if (!module || module->index >= state.modules.module_count) return nullptr;
  return &state.modules.records[static_cast<std::size_t>(module->index)];
}

void set_field(Toolkit& ui, int field, std::int64_t value) {
  ui.set_text(field, format_decimal(value));
}

// A split position goes out high byte first, then low byte, with no pause between them.
void send_split_position(AppState& state, std::uint8_t address, int value) {
  set_field(state.ui, MainControl::value_field_2, value / 256);
  state.bus.send(CMD_SET_POSITION_2, address, low_byte(value / 256));
  state.bus.send(CMD_SET_POSITION_1, address, low_byte(value % 256));
}

void on_position_slider_1(AppState& state) {
  Toolkit& ui = state.ui;
  const int p = ui.value(MainControl::position_slider_1);
  const auto selected = selection(state);
  const std::uint8_t address = address_of(selected);
  const ModuleRecord* module = record_of(state, selected);
  const int type = module ? module->gauges[0].type.load() : 0;
  if (module && is_360_degree_type(type)) {
    const int v = p * 10;
    set_field(ui, MainControl::value_field_1, v);
    send_split_position(state, address, v);
  } else if (module && is_16_bit_type(type)) {
    set_field(ui, MainControl::value_field_1, p);
    send_split_position(state, address, p);
  } else {
    set_field(ui, MainControl::value_field_1, p);
    state.bus.send(CMD_SET_POSITION_1, address, low_byte(p));
  }
}

void on_position_slider_2(AppState& state) {
  const int position = state.ui.value(MainControl::position_slider_2);
  set_field(state.ui, MainControl::value_field_2, position);
  state.bus.send(CMD_SET_POSITION_2, selected_address(state), low_byte(position));
}

void on_backlight_slider(AppState& state) {
  const int level = state.ui.value(MainControl::backlight_slider);
  state.backlight_level = level;
  state.bus.send(CMD_SET_BACKLIGHT, COMMON_ADDRESS, backlight_brightness(level));
}

// Entries "0", "1", "-1" send their index: 0, 1 and 2.
void on_output_list(AppState& state, int list, std::uint8_t code) {
  const int entry = state.ui.selection(list);
  if (entry < 0) return;
  state.bus.send(code, selected_address(state), low_byte(entry));
}

void set_module_buttons_enabled(Toolkit& ui, bool parameters, bool set_buttons) {
  ui.set_enabled(MainControl::parameters_button, parameters);
  for (int button : MAIN_COURSE_BUTTONS) ui.set_enabled(button, set_buttons);
}

// Nothing is sent on a selection; the sliders keep their positions.
void on_module_selector(AppState& state) {
  Toolkit& ui = state.ui;
  const int entry = ui.selection(MainControl::module_selector);
  if (entry < 0) return;
  const auto selected = module_of_entry(entry, state.modules);
  if (!selected) {
    set_position_slider_max(ui, POSITION_SLIDER_1,
                            position_slider_max(0, SliderRangeCause::module_selected));
    set_module_buttons_enabled(ui, false, false);
    ui.set_enabled(MainControl::position_slider_2, true);
    return;
  }
  const ModuleRecord* module = record_of(state, selected);
  const int max = position_slider_max(module ? module->gauges[0].type.load() : 0,
                                      SliderRangeCause::module_selected);
  set_position_slider_max(ui, POSITION_SLIDER_1, max);
  // A slider wider than a byte drives both position commands: slider 2 has nothing left to do.
  const bool byte_wide = max == 255;
  ui.set_enabled(MainControl::position_slider_2, byte_wide);
  set_module_buttons_enabled(ui, true, byte_wide);
}

// The course buttons change the record in memory only; the parameter window writes the EEPROM.
void on_set_course(AppState& state, int field, int gauge,
                   Relaxed<std::uint8_t> GaugeRecord::*target) {
  const int index = state.windows.editor_module;
  if (index >= MAX_MODULES) return;
  ModuleRecord& record = state.modules.records[static_cast<std::size_t>(index)];
  record.gauges[static_cast<std::size_t>(gauge)].*target =
      low_byte(parse_number_text(state.ui.text(field)));
}

}  // namespace

void install_main_window_handlers(AppState& state) {
  auto& handlers = state.dispatch.control_handlers;
  AppState* s = &state;
  state.windows.main_window = MainWindowLink{MainControl::parameters_button, POSITION_SLIDER_1,
                                             [s] { return selection(*s); }};
  handlers[MainControl::position_slider_1] = [s] { on_position_slider_1(*s); };
  handlers[MainControl::position_slider_2] = [s] { on_position_slider_2(*s); };
  handlers[MainControl::backlight_slider] = [s] { on_backlight_slider(*s); };
  handlers[MainControl::reset_button] = [s] {
    s->bus.send(CMD_RESET_MODULE, selected_address(*s), 0);
  };
  handlers[MainControl::output_list_1] = [s] {
    on_output_list(*s, MainControl::output_list_1, CMD_SET_OUTPUT_1);
  };
  handlers[MainControl::output_list_2] = [s] {
    on_output_list(*s, MainControl::output_list_2, CMD_SET_OUTPUT_2);
  };
  handlers[MainControl::module_selector] = [s] { on_module_selector(*s); };
  handlers[MainControl::set_min_1] = [s] {
    on_set_course(*s, MainControl::value_field_1, 0, &GaugeRecord::course_min);
  };
  handlers[MainControl::set_max_1] = [s] {
    on_set_course(*s, MainControl::value_field_1, 0, &GaugeRecord::course_max);
  };
  handlers[MainControl::set_min_2] = [s] {
    on_set_course(*s, MainControl::value_field_2, 1, &GaugeRecord::course_min);
  };
  handlers[MainControl::set_max_2] = [s] {
    on_set_course(*s, MainControl::value_field_2, 1, &GaugeRecord::course_max);
  };
}

}  // namespace kavri
