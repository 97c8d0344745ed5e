// The main window's own controls. They send at most two reports each, never wait, and act on
// the module selector's selection, except the four course buttons, which act on the module
// last opened in the parameter window.
#include <cstdint>

#include "base/number_text.h"
#include "bus_model/gauge_types.h"
#include "procedures/control_numbers.h"
#include "procedures/position_slider.h"
#include "shell/main_window.h"

namespace kavri {

namespace {

std::uint8_t low_byte(std::int64_t value) { return static_cast<std::uint8_t>(value); }

// The address a report goes to: the number in the selected entry's text. With no selection
// yet (during the exploration the selector holds "50" alone) it is the common address.
std::uint8_t selected_address(const Toolkit& ui) {
  const int entry = ui.selection(MAIN_MODULE_SELECTOR);
  if (entry < 0) return COMMON_ADDRESS;
  return low_byte(parse_number_text(ui.item_text(MAIN_MODULE_SELECTOR, entry)));
}

// The record behind the selected entry: entry i >= 1 is table index i - 1. Null for entry 0,
// no selection, or an entry the table does not hold.
const ModuleRecord* selected_module(const AppState& state) {
  const int index = state.ui.selection(MAIN_MODULE_SELECTOR) - 1;
  if (index < 0 || index >= state.modules.module_count || index >= MAX_MODULES) return nullptr;
  return &state.modules.records[static_cast<std::size_t>(index)];
}

void set_field(Toolkit& ui, int field, std::int64_t value) {
  ui.set_text(field, format_decimal(value));
}

// A split position goes out high byte first, then low byte, with no pause between them.
void send_split_position(AppState& state, std::uint8_t address, int value) {
  set_field(state.ui, MAIN_VALUE_FIELD_2, value / 256);
  state.bus.send(CMD_SET_POSITION_2, address, low_byte(value / 256));
  state.bus.send(CMD_SET_POSITION_1, address, low_byte(value % 256));
}

void on_position_slider_1(AppState& state) {
  Toolkit& ui = state.ui;
  const int p = ui.value(MAIN_POSITION_SLIDER_1);
  const std::uint8_t address = selected_address(ui);
  const ModuleRecord* module = selected_module(state);
  const int type = module ? module->gauges[0].type.load() : 0;
  if (module && is_360_degree_type(type)) {
    const int v = p * 10;
    set_field(ui, MAIN_VALUE_FIELD_1, v);
    send_split_position(state, address, v);
  } else if (module && is_16_bit_type(type)) {
    set_field(ui, MAIN_VALUE_FIELD_1, p);
    send_split_position(state, address, p);
  } else {
    set_field(ui, MAIN_VALUE_FIELD_1, p);
    state.bus.send(CMD_SET_POSITION_1, address, low_byte(p));
  }
}

void on_position_slider_2(AppState& state) {
  const int position = state.ui.value(MAIN_POSITION_SLIDER_2);
  set_field(state.ui, MAIN_VALUE_FIELD_2, position);
  state.bus.send(CMD_SET_POSITION_2, selected_address(state.ui), low_byte(position));
}

void on_backlight_slider(AppState& state) {
  const int level = state.ui.value(MAIN_BACKLIGHT_SLIDER);
  state.backlight_level = level;
  state.bus.send(CMD_SET_BACKLIGHT, COMMON_ADDRESS, backlight_brightness(level));
}

// Entries "0", "1", "-1" send their index: 0, 1 and 2.
void on_output_list(AppState& state, int list, std::uint8_t code) {
  const int entry = state.ui.selection(list);
  if (entry < 0) return;
  state.bus.send(code, selected_address(state.ui), low_byte(entry));
}

void set_module_buttons_enabled(Toolkit& ui, bool parameters, bool set_buttons) {
  ui.set_enabled(MAIN_PARAMETERS_BUTTON, parameters);
  for (int button : MAIN_COURSE_BUTTONS) ui.set_enabled(button, set_buttons);
}

// Nothing is sent on a selection; the sliders keep their positions.
void on_module_selector(AppState& state) {
  Toolkit& ui = state.ui;
  const int entry = ui.selection(MAIN_MODULE_SELECTOR);
  if (entry < 0) return;
  if (parse_number_text(ui.item_text(MAIN_MODULE_SELECTOR, entry)) == COMMON_ADDRESS) {
    set_position_slider_max(ui, position_slider_max(0, SliderRangeCause::module_selected));
    set_module_buttons_enabled(ui, false, false);
    ui.set_enabled(MAIN_POSITION_SLIDER_2, true);
    return;
  }
  const ModuleRecord* module = selected_module(state);
  const int max = position_slider_max(module ? module->gauges[0].type.load() : 0,
                                      SliderRangeCause::module_selected);
  set_position_slider_max(ui, max);
  // A slider wider than a byte drives both position commands: slider 2 has nothing left to do.
  const bool byte_wide = max == 255;
  ui.set_enabled(MAIN_POSITION_SLIDER_2, byte_wide);
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
  handlers[MAIN_POSITION_SLIDER_1] = [s] { on_position_slider_1(*s); };
  handlers[MAIN_POSITION_SLIDER_2] = [s] { on_position_slider_2(*s); };
  handlers[MAIN_BACKLIGHT_SLIDER] = [s] { on_backlight_slider(*s); };
  handlers[MAIN_RESET_BUTTON] = [s] { s->bus.send(CMD_RESET_MODULE, selected_address(s->ui), 0); };
  handlers[MAIN_OUTPUT_LIST_1] = [s] { on_output_list(*s, MAIN_OUTPUT_LIST_1, CMD_SET_OUTPUT_1); };
  handlers[MAIN_OUTPUT_LIST_2] = [s] { on_output_list(*s, MAIN_OUTPUT_LIST_2, CMD_SET_OUTPUT_2); };
  handlers[MAIN_MODULE_SELECTOR] = [s] { on_module_selector(*s); };
  handlers[MAIN_SET_MIN_1] = [s] {
    on_set_course(*s, MAIN_VALUE_FIELD_1, 0, &GaugeRecord::course_min);
  };
  handlers[MAIN_SET_MAX_1] = [s] {
    on_set_course(*s, MAIN_VALUE_FIELD_1, 0, &GaugeRecord::course_max);
  };
  handlers[MAIN_SET_MIN_2] = [s] {
    on_set_course(*s, MAIN_VALUE_FIELD_2, 1, &GaugeRecord::course_min);
  };
  handlers[MAIN_SET_MAX_2] = [s] {
    on_set_course(*s, MAIN_VALUE_FIELD_2, 1, &GaugeRecord::course_max);
  };
}

}  // namespace kavri
