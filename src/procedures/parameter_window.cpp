#include "procedures/parameter_window.h"

#include <utility>
#include <vector>

#include "bus_model/gauge_types.h"
#include "procedures/calibration_windows.h"
#include "procedures/eeprom_write.h"
#include "procedures/export_import.h"
#include "procedures/position_slider.h"

namespace kavri {

namespace {

constexpr ControlKind kLabel = ControlKind::label;
constexpr ControlKind kField = ControlKind::text_field;
constexpr ControlKind kList = ControlKind::drop_down;
constexpr ControlKind kButton = ControlKind::button;
constexpr ControlKind kBox = ControlKind::check_box;
constexpr Align kCentre = Align::center;

using C = ParameterControl;

// Gauge `gauge`'s type (0 or 1), and the list that shows it.
Param type_param(int gauge) { return gauge == 0 ? Param::gauge1_type : Param::gauge2_type; }
int type_list(int gauge) { return param_control(type_param(gauge)); }

const std::vector<ControlPlace>& layout() {
  static const std::vector<ControlPlace> controls{
      {C::address_caption, kLabel, {15, 20, 80, 30}, "Adresse du module"},
      {C::old_address_caption, kLabel, {95, 10, 90, 20}, "Ancienne", kCentre},
      {C::new_address_caption, kLabel, {225, 10, 90, 20}, "Nouvelle", kCentre},
      {C::address_field, kField, {95, 30, 90, 20}, ""},
      {C::new_address_field, kField, {225, 30, 90, 20}, ""},
      {C::min_caption, kLabel, {95, 60, 90, 20}, "Mini", kCentre},
      {C::max_caption, kLabel, {225, 60, 90, 20}, "Maxi", kCentre},
      {C::course_1_caption, kLabel, {15, 80, 80, 20}, "Course 1"},
      {param_control(Param::gauge1_course_min), kField, {95, 80, 90, 20}, "0"},
      {param_control(Param::gauge1_course_max), kField, {225, 80, 90, 20}, "255"},
      {C::calibrate_1_button, kButton, {350, 80, 90, 20}, "calibrage"},
      {C::course_2_caption, kLabel, {15, 100, 80, 20}, "Course 2"},
      {param_control(Param::gauge2_course_min), kField, {95, 100, 90, 20}, "0"},
      {param_control(Param::gauge2_course_max), kField, {225, 100, 90, 20}, "255"},
      {C::calibrate_2_button, kButton, {350, 100, 90, 20}, "calibrage"},
      {C::sim_course_1_caption, kLabel, {15, 140, 80, 20}, "Course FS 1"},
      {param_control(Param::gauge1_sim_min), kField, {95, 140, 90, 20}, "0"},
      {param_control(Param::gauge1_sim_max), kField, {225, 140, 90, 20}, "16383"},
      {C::sim_course_2_caption, kLabel, {15, 160, 80, 20}, "Course FS 2"},
      {param_control(Param::gauge2_sim_min), kField, {95, 160, 90, 20}, "0"},
      {param_control(Param::gauge2_sim_max), kField, {225, 160, 90, 20}, "16383"},
      {C::offset_caption, kLabel, {75, 200, 50, 20}, "Offset"},
      {C::offset_length_caption, kLabel, {135, 200, 100, 20}, "Longeur de l'Offset"},
      {C::type_caption, kLabel, {240, 200, 80, 20}, "Type", kCentre},
      {C::inversion_caption, kLabel, {395, 200, 50, 20}, "inversion", kCentre},
      {C::output_a_caption, kLabel, {15, 240, 40, 15}, "Sortie A"},
      {param_control(Param::gauge1_offset), kField, {70, 235, 80, 20}, "$0000"},
      {param_control(Param::gauge1_offset_length), kField, {160, 235, 20, 20}, "2"},
      {type_list(0), kList, {190, 235, 180, 20}},
      {param_control(Param::gauge1_inverted), kBox, {410, 235, 20, 20}},
      {C::output_b_caption, kLabel, {15, 260, 45, 15}, "Sortie B"},
      {param_control(Param::gauge2_offset), kField, {70, 255, 80, 20}, "$0000"},
      {param_control(Param::gauge2_offset_length), kField, {160, 255, 20, 20}, "2"},
      {type_list(1), kList, {190, 255, 180, 20}},
      {param_control(Param::gauge2_inverted), kBox, {410, 260, 20, 20}},
      {C::output_1_caption, kLabel, {15, 290, 40, 15}, "Sortie 1"},
      {param_control(Param::output1_offset), kField, {70, 285, 80, 20}, "$0000"},
      {param_control(Param::output1_offset_length), kField, {160, 285, 20, 20}, "2"},
      {param_control(Param::output1_type), kList, {190, 285, 180, 20}},
      {param_control(Param::output1_inverted), kBox, {410, 285, 20, 20}},
      {C::output_2_caption, kLabel, {15, 310, 45, 15}, "Sortie 2"},
      {param_control(Param::output2_offset), kField, {70, 305, 80, 20}, "$0000"},
      {param_control(Param::output2_offset_length), kField, {160, 305, 20, 20}, "2"},
      {param_control(Param::output2_type), kList, {190, 305, 180, 20}},
      {param_control(Param::output2_inverted), kBox, {410, 310, 20, 20}},
      {C::analog_caption, kLabel, {100, 340, 220, 20}, "Utilisation de la valeur  analogique"},
      {C::analog_param_caption, kLabel, {400, 340, 65, 15}, "Paramètre"},
      {param_control(Param::analog_offset), kField, {70, 365, 80, 20}, "$0000"},
      {param_control(Param::analog_offset_length), kField, {160, 365, 20, 20}, "2"},
      {param_control(Param::analog_type), kList, {190, 365, 180, 20}},
      {param_control(Param::analog_param), kField, {385, 365, 80, 20}, "16383"},
      {C::export_button, kButton, {65, 425, 105, 20}, "Exporte"},
      {C::write_button, kButton, {295, 425, 120, 20}, "Ecrit EEPROM"},
      {C::import_button, kButton, {65, 455, 105, 20}, "Importe"},
      {C::cancel_button, kButton, {295, 455, 120, 20}, "Annule"},
  };
  return controls;
}

constexpr const char* WRITE_CUT_TITLE = "Erreur";
constexpr const char* WRITE_CUT_TEXT = "Écriture interrompue : la carte Kavri a été débranchée";

bool has_calibration_table(int type_index) {
  return calibration_kind_of_type(type_index + 1).has_value();
}

void fill_list(Toolkit& ui, int control, std::span<const std::string_view> names) {
  ui.clear_items(control);
  for (std::string_view name : names) ui.add_item(control, name);
}

// Gauge `gauge`'s type as the edited configuration holds it (its list entry, -1 for none).
int chosen_type_entry(const WindowContext& ctx, int gauge) {
  return ctx.edited.states[static_cast<std::size_t>(type_param(gauge))];
}

void show_config(Toolkit& ui, const ModuleConfig& config) {
  show_params(ui, config);
  ui.set_text(C::address_field, config.address);
  ui.set_text(C::new_address_field, config.new_address);
}

// Typing in a field raises no event, so the typed texts are taken into the edited
// configuration when a button needs it; lists and boxes are taken as they are chosen.
const ModuleConfig& edited_config(WindowContext& ctx) {
  take_params(ctx.ui, ctx.edited);
  ctx.edited.address = ctx.ui.text(C::address_field);
  ctx.edited.new_address = ctx.ui.text(C::new_address_field);
  return ctx.edited;
}

void open_parameter_window(WindowContext& ctx) {
  Toolkit& ui = ctx.ui;
  // While a write runs, its window stays as it is: the record is only half written.
  if (ctx.eeprom.running()) return;
  // Entry "50" names every module and no record: there is nothing to edit.
  const auto module = ctx.main_window.selected_module();
  if (!module) return;
  ui.destroy_window(PARAMETER_WINDOW);
  WindowSpec spec;
  spec.number = PARAMETER_WINDOW;
  spec.title = "Paramétrages";
  spec.geometry = {344, 145, 489, 505};
  spec.sizable = true;
  ui.create_window(spec);
  add_controls(ui, PARAMETER_WINDOW, layout());
  fill_list(ui, type_list(0), gauge1_type_names());
  fill_list(ui, type_list(1), gauge2_type_names());
  fill_list(ui, param_control(Param::output1_type), output_type_names());
  fill_list(ui, param_control(Param::output2_type), output_type_names());
  fill_list(ui, param_control(Param::analog_type), analog_type_names());

  ctx.editor_module = static_cast<std::uint8_t>(module->index);
  ctx.edited = config_of_record(ctx.modules.records[static_cast<std::size_t>(module->index)]);
  show_config(ui, ctx.edited);
  ui.set_enabled(C::calibrate_1_button, has_calibration_table(chosen_type_entry(ctx, 0)));
  ui.set_enabled(C::calibrate_2_button, has_calibration_table(chosen_type_entry(ctx, 1)));
}

void on_gauge1_type_chosen(WindowContext& ctx) {
  Toolkit& ui = ctx.ui;
  const int index = chosen_type_entry(ctx, 0);
  if (has_calibration_table(index)) {
    ui.set_enabled(C::calibrate_1_button, true);
    return;  // the slider keeps its range
  }
  const int max = position_slider_max(index + 1, SliderRangeCause::type_chosen);
  // A full-turn type leaves the "calibrage" button as it was.
  if (max == 255) ui.set_enabled(C::calibrate_1_button, false);
  set_position_slider_max(ui, ctx.main_window.position_slider_1, max);
}

// What choosing an entry of a type list does beyond changing the configuration.
void on_param_chosen(WindowContext& ctx, Param param) {
  if (param == Param::gauge1_type) on_gauge1_type_chosen(ctx);
  if (param == Param::gauge2_type) {
    ctx.ui.set_enabled(C::calibrate_2_button, has_calibration_table(chosen_type_entry(ctx, 1)));
  }
}

void set_write_buttons_enabled(Toolkit& ui, bool enabled) {
  ui.set_enabled(C::write_button, enabled);
  ui.set_enabled(C::cancel_button, enabled);
}

// A write that the card's removal cut short is never taken for done: the window stays, with
// what the user typed, for a new write once the card is back.
void on_write_ended(Toolkit& ui, EepromWriteEnd how) {
  if (how == EepromWriteEnd::written) {
    ui.destroy_window(PARAMETER_WINDOW);
    return;
  }
  set_write_buttons_enabled(ui, true);
  ui.message_box(WRITE_CUT_TITLE, WRITE_CUT_TEXT);
}

void on_write_pressed(WindowContext& ctx) {
  Toolkit& ui = ctx.ui;
  if (ctx.eeprom.running() || !ui.window_exists(PARAMETER_WINDOW)) return;
  ui.message_box("Configuration de la jauge", "Mettre le strap de configuration");
  if (ui.end_signalled()) return;  // the box was closed by the end: nothing is written
  // Every value is taken now, as the write goes on while the loop runs.
  const EepromWritePlan plan = eeprom_plan(edited_config(ctx));
  set_write_buttons_enabled(ui, false);
  ctx.eeprom.start(plan, ctx.editor_module, [&ui](EepromWriteEnd how) { on_write_ended(ui, how); });
}

// An import sets the type lists as data, not as choices: the "calibrage" buttons keep their
// state.
void on_import_pressed(WindowContext& ctx) {
  if (auto imported = import_gauge_config(ctx.ui, ctx.gauge_config_folder, edited_config(ctx))) {
    ctx.edited = std::move(*imported);
    show_params(ctx.ui, ctx.edited);
  }
}

// A "calibrage" button calibrates the gauge of the module that the main window selects now;
// with none selected, nothing happens.
void on_calibrate_pressed(WindowContext& ctx, int gauge) {
  if (const auto module = ctx.main_window.selected_module()) {
    calibrate_gauge(ctx, *module, gauge, chosen_type_entry(ctx, gauge));
  }
}

}  // namespace

void add_controls(Toolkit& ui, int window, std::span<const ControlPlace> places) {
  for (const ControlPlace& place : places) {
    ControlSpec spec;
    spec.number = place.number;
    spec.kind = place.kind;
    spec.rect = place.rect;
    spec.text = std::string(place.text);
    spec.align = place.align;
    spec.font = place.font;
    ui.add_control(window, spec);
  }
}

void install_parameter_window(WindowContext& ctx) {
  auto& handlers = ctx.dispatch.control_handlers;
  handlers[ctx.main_window.parameters_button] = [&ctx] { open_parameter_window(ctx); };
  // Each list and box is taken into the edited configuration as the user chooses it.
  for (const ParamInfo& info : param_infos()) {
    if (is_state_kind(info.kind)) {
      handlers[param_control(info.param)] = [&ctx, param = info.param] {
        take_param(ctx.ui, ctx.edited, param);
        on_param_chosen(ctx, param);
      };
    }
  }
  handlers[C::calibrate_1_button] = [&ctx] { on_calibrate_pressed(ctx, 0); };
  handlers[C::calibrate_2_button] = [&ctx] { on_calibrate_pressed(ctx, 1); };
  handlers[C::cancel_button] = [&ctx] {
    // A write under way cannot be called back: its window stays until the write ends.
    if (!ctx.eeprom.running()) ctx.ui.destroy_window(PARAMETER_WINDOW);
  };
  handlers[C::write_button] = [&ctx] { on_write_pressed(ctx); };
  handlers[C::export_button] = [&ctx] {
    export_gauge_config(ctx.ui, ctx.gauge_config_folder, edited_config(ctx));
  };
  handlers[C::import_button] = [&ctx] { on_import_pressed(ctx); };
  ctx.dispatch.pass_hooks.push_back([&ctx] { ctx.eeprom.step(); });
  install_calibration_windows(ctx);
}

}  // namespace kavri
