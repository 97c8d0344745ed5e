// One window with a control of every kind, built the same way on each platform's toolkit, so
// that the toolkits' GUI tests click, read and picture the same controls.
#pragma once

#include <string>
#include <utility>

#include "ui/toolkit.h"

namespace kavri::testing::test_panel {

constexpr int kPanel = 4, kPlain = 5;
constexpr Rect kPanelGeometry{40, 40, 560, 330};
enum : int {
  kStatus = 1,
  kCount,
  kGraduation,
  kCaption,
  kField = 10,
  kList,
  kBacklight,
  kPosition,
  kOpen,
  kSetMin,
  kReduced,
  kProgress,
  kDial,
  kLampOn,
  kLampOff
};

inline ControlSpec spec(int number, ControlKind kind, Rect rect, std::string text = "",
                        Align align = Align::left) {
  ControlSpec s;
  s.number = number;
  s.kind = kind;
  s.rect = rect;
  s.text = std::move(text);
  s.align = align;
  return s;
}

inline ControlSpec ranged(ControlSpec s, int max, int tick_step = 0) {
  s.range_max = max;
  s.tick_step = tick_step;
  return s;
}

// The window "Paramètres" with its controls; the list holds "50", "12" and "7". Each toolkit's
// tests give the backlight slider its own height.
inline bool build_test_panel(Toolkit& ui, int backlight_height) {
  if (!ui.create_window({kPanel, "Paramètres", kPanelGeometry, true, true, true, {}})) return false;
  using K = ControlKind;
  ControlSpec graduation = spec(kGraduation, K::label, {150, 35, 50, 30}, "-20", Align::right);
  graduation.font = FontId::large;
  ControlSpec caption =
      spec(kCaption, K::label, {210, 10, 300, 30}, "Exploration du bus", Align::center);
  caption.font = FontId::small;
  ControlSpec set_min = spec(kSetMin, K::button, {120, 190, 70, 20}, "Set min.");
  set_min.enabled = false;
  for (const ControlSpec& control : {
           spec(kStatus, K::label, {20, 10, 110, 18}, "Déconnecté", Align::center),
           spec(kCount, K::label, {20, 40, 120, 20}, "Nombre de modules : 3"),
           graduation,
           caption,
           spec(kField, K::text_field, {20, 80, 80, 20}, "$0BC0"),
           spec(kList, K::drop_down, {110, 80, 80, 20}),
           ranged(spec(kBacklight, K::slider, {20, 120, 130, backlight_height}), 15, 1),
           ranged(spec(kPosition, K::slider, {20, 150, 190, 20}), 255),
           spec(kOpen, K::button, {20, 190, 90, 20}, "Paramètres"),
           set_min,
           spec(kReduced, K::check_box, {20, 225, 200, 20}, "Démarre en mode réduit"),
           ranged(spec(kProgress, K::progress_bar, {20, 265, 300, 20}), 50),
           ranged(spec(kDial, K::dial, {330, 60, 200, 200}, "Position 1"), 255),
           spec(kLampOn, K::lamp, {240, 120, 80, 20}, "Out 1"),
           spec(kLampOff, K::lamp, {240, 150, 80, 20}, "Out 2"),
       }) {
    ui.add_control(kPanel, control);
  }
  for (const char* item : {"50", "12", "7"}) ui.add_item(kList, item);
  return true;
}

// Gives every control a state worth seeing, for a screenshot of the panel.
inline void show_every_state(Toolkit& ui) {
  ui.set_selection(kList, 1);
  ui.set_value(kBacklight, 9);
  ui.set_value(kPosition, 127);
  ui.set_value(kReduced, 1);
  ui.set_value(kProgress, 20);
  ui.set_value(kDial, 180);
  ui.set_value(kLampOn, 1);
  ui.set_background(kStatus, {255, 0, 0});
}

}  // namespace kavri::testing::test_panel
