#include "shell/main_window.h"

#include <vector>

#include "base/number_text.h"
#include "procedures/control_numbers.h"
#include "procedures/progress_window.h"

namespace kavri {

namespace {

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
ControlSpec card_label() { return label(MAIN_CARD_LABEL, {440, 305, 100, 15}, "", Align::center); }

std::vector<ControlSpec> main_window_controls() {
  constexpr Align centre = Align::center;
  return {
      slider(MAIN_POSITION_SLIDER_1, {160, 140, 190, 20}, 255),
      control(MAIN_VALUE_FIELD_1, ControlKind::text_field, {355, 135, 80, 20}),
      label(2, {30, 120, 120, 20}, "Adresse du module", centre),
      label(3, {195, 115, 120, 20}, "Position", centre),
      label(4, {190, 0, 150, 30}, ""),
      label(5, {390, 95, 120, 20}, "Valeur", centre),
      control(MAIN_MODULE_SELECTOR, ControlKind::drop_down, {50, 150, 80, 20}),
      slider(MAIN_POSITION_SLIDER_2, {160, 170, 190, 20}, 255),
      control(MAIN_VALUE_FIELD_2, ControlKind::text_field, {355, 170, 80, 20}),
      disabled_button(MAIN_PARAMETERS_BUTTON, {460, 340, 80, 20}, "Paramètres"),
      label(27, {75, 280, 50, 20}, "Backlight", centre),
      slider(MAIN_BACKLIGHT_SLIDER, {30, 310, 130, 20}, 15, 1),
      control(MAIN_TYPE_BYTES_LIST, ControlKind::drop_down, {50, 40, 70, 20}),
      control(MAIN_RESET_BUTTON, ControlKind::button, {70, 180, 50, 20}, "Reset"),
      control(42, ControlKind::text_field, {370, 40, 90, 20}),
      label(MAIN_STATUS_LABEL, {110, 10, 90, 15}, "Idle", centre),
      label(50, {20, 10, 90, 15}, "FSUIPC :", centre),
      label(51, {365, 115, 50, 20}, "Sortie", centre),
      label(63, {180, 210, 30, 15}, "Out 1"),
      label(64, {180, 245, 30, 15}, "Out 2"),
      label(65, {270, 305, 155, 15}, "Démarre en mode réduit"),
      control(MAIN_REDUCED_START_BOX, ControlKind::check_box, {245, 305, 15, 15}),
      control(MAIN_OUTPUT_LIST_1, ControlKind::drop_down, {230, 205, 100, 20}),
      control(MAIN_OUTPUT_LIST_2, ControlKind::drop_down, {230, 240, 100, 20}),
      disabled_button(MAIN_SET_MIN_1, {440, 135, 50, 20}, "Set min."),
      disabled_button(MAIN_SET_MAX_1, {495, 135, 50, 20}, "Set Max."),
      disabled_button(MAIN_SET_MAX_2, {495, 170, 50, 20}, "Set Max."),
      disabled_button(MAIN_SET_MIN_2, {440, 170, 50, 20}, "Set min."),
      label(111, {420, 0, 85, 15}, "Kavri Version :"),
      label(MAIN_VERSION_LABEL, {505, 0, 45, 15}, "1.00"),
      label(MAIN_MODULE_COUNT_LABEL, {30, 100, 120, 20}, "Nombre de modules : 0"),
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
  ui.set_background(MAIN_CARD_LABEL, CARD_ABSENT_ORANGE);
  ui.set_text(MAIN_CARD_LABEL, "Carte absente");
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
          ui.insert_item(MAIN_MODULE_SELECTOR, index + 1, address);  // entry 0 is "50"
          ui.insert_item(MAIN_TYPE_BYTES_LIST, 0, type);  // each new type byte goes in first place
        });
  };
  events.scan_complete = [&posts](int count) {
    posts.post([text = "Nombre de modules : " + format_decimal(count)](Toolkit& ui) {
      ui.set_text(MAIN_MODULE_COUNT_LABEL, text);
      show_identification_caption(ui);
    });
  };
  events.progress = [&posts](int bar) {
    posts.post([bar](Toolkit& ui) { ui.set_value(PROGRESS_BAR, bar); });
  };
  events.identified = [&posts] {
    posts.post([](Toolkit& ui) { ui.set_selection(MAIN_MODULE_SELECTOR, 0); });
  };
  return events;
}

}  // namespace kavri
