#include "shell/main_window.h"

#include <vector>

#include "base/number_text.h"
#include "procedures/progress_window.h"

namespace kavri {

namespace {

using C = MainControl;

ControlSpec label(int number, Rect rect, const char* text, Align align = Align::left) {
  ControlSpec spec;
  spec.number = number;
  spec.kind = ControlKind::label;
  spec.rect = rect;
  spec.text = text;
  spec.align = align;
  return spec;
}

ControlSpec control(int number, ControlKind kind, Rect rect, const char* text = "") {
  ControlSpec spec;
  spec.number = number;
  spec.kind = kind;
  spec.rect = rect;
  spec.text = text;
  return spec;
}

ControlSpec slider(int number, Rect rect, int max, int tick_step = 0) {
  ControlSpec spec = control(number, ControlKind::slider, rect);
  spec.range_max = max;
  spec.tick_step = tick_step;
  return spec;
}

ControlSpec disabled_button(int number, Rect rect, const char* text) {
  ControlSpec spec = control(number, ControlKind::button, rect, text);
  spec.enabled = false;
  return spec;
}

// Right of the reduced-start box's caption, above "Paramètres": room the window leaves free.
ControlSpec card_label() { return label(C::card_label, {440, 305, 100, 15}, "", Align::center); }

std::vector<ControlSpec> main_window_controls() {
  constexpr Align centre = Align::center;
  return {
      slider(C::position_slider_1, {160, 140, 190, 20}, 255),
      control(C::value_field_1, ControlKind::text_field, {355, 135, 80, 20}),
      label(C::module_address_caption, {30, 120, 120, 20}, "Adresse du module", centre),
      label(C::position_caption, {195, 115, 120, 20}, "Position", centre),
      label(C::blank_label, {190, 0, 150, 30}, ""),
      label(C::value_caption, {390, 95, 120, 20}, "Valeur", centre),
      control(C::module_selector, ControlKind::drop_down, {50, 150, 80, 20}),
      slider(C::position_slider_2, {160, 170, 190, 20}, 255),
      control(C::value_field_2, ControlKind::text_field, {355, 170, 80, 20}),
      disabled_button(C::parameters_button, {460, 340, 80, 20}, "Paramètres"),
      label(C::backlight_caption, {75, 280, 50, 20}, "Backlight", centre),
      slider(C::backlight_slider, {30, 310, 130, 20}, 15, 1),
      control(C::type_bytes_list, ControlKind::drop_down, {50, 40, 70, 20}),
      control(C::reset_button, ControlKind::button, {70, 180, 50, 20}, "Reset"),
      control(C::blank_field, ControlKind::text_field, {370, 40, 90, 20}),
      label(C::status_label, {110, 10, 90, 15}, "Idle", centre),
      label(C::link_caption, {20, 10, 90, 15}, "FSUIPC :", centre),
      label(C::output_caption, {365, 115, 50, 20}, "Sortie", centre),
      label(C::output_1_caption, {180, 210, 30, 15}, "Out 1"),
      label(C::output_2_caption, {180, 245, 30, 15}, "Out 2"),
      label(C::reduced_start_caption, {270, 305, 155, 15}, "Démarre en mode réduit"),
      control(C::reduced_start_box, ControlKind::check_box, {245, 305, 15, 15}),
      control(C::output_list_1, ControlKind::drop_down, {230, 205, 100, 20}),
      control(C::output_list_2, ControlKind::drop_down, {230, 240, 100, 20}),
      disabled_button(C::set_min_1, {440, 135, 50, 20}, "Set min."),
      disabled_button(C::set_max_1, {495, 135, 50, 20}, "Set Max."),
      disabled_button(C::set_max_2, {495, 170, 50, 20}, "Set Max."),
      disabled_button(C::set_min_2, {440, 170, 50, 20}, "Set min."),
      label(C::version_caption, {420, 0, 85, 15}, "Kavri Version :"),
      label(C::version_label, {505, 0, 45, 15}, "1.00"),
      label(C::module_count_label, {30, 100, 120, 20}, "Nombre de modules : 0"),
      card_label(),
  };
}

constexpr Rgb CARD_ABSENT_ORANGE{255, 165, 0};

}  // namespace

void show_card_absent(Toolkit& ui, bool absent) {
  if (!absent) {
    ui.add_control(MAIN_WINDOW, card_label());  // a fresh label: no text, no background
    return;
  }
  ui.set_background(C::card_label, CARD_ABSENT_ORANGE);
  ui.set_text(C::card_label, "Carte absente");
}

bool build_main_window(Toolkit& ui) {
  WindowSpec window;
  window.number = MAIN_WINDOW;
  window.title = "Kavri";
  window.geometry = {355, 124, 557, 378};
  window.close_box = true;
  window.minimise_box = true;
  window.sizable = true;
  if (!ui.create_window(window)) return false;
  for (const ControlSpec& spec : main_window_controls()) ui.add_control(MAIN_WINDOW, spec);
  return true;
}

}  // namespace kavri

namespace kavri {

ExplorationEvents exploration_window_updates(UiPosts& posts) {
  ExplorationEvents events;
  events.module_found = [&posts](int index, std::uint8_t address, std::uint8_t type_byte) {
    posts.post(
        [index, address = format_decimal(address), type = format_decimal(type_byte)](Toolkit& ui) {
          ui.insert_item(C::module_selector, index + 1, address);  // entry 0 is "50"
          ui.insert_item(C::type_bytes_list, 0, type);  // each new type byte goes in first place
        });
  };
  events.scan_complete = [&posts](int count) {
    posts.post([text = "Nombre de modules : " + format_decimal(count)](Toolkit& ui) {
      ui.set_text(C::module_count_label, text);
      show_identification_caption(ui);
    });
  };
  events.progress = [&posts](int bar) {
    posts.post([bar](Toolkit& ui) { ui.set_value(ProgressControl::bar, bar); });
  };
  events.identified = [&posts] {
    posts.post([](Toolkit& ui) { ui.set_selection(C::module_selector, 0); });
  };
  return events;
}

}  // namespace kavri
