#include "procedures/calibration_windows.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/number_text.h"
#include "bus_model/gauge_types.h"
#include "config/prefs.h"
#include "procedures/control_numbers.h"
#include "procedures/parameter_window.h"

namespace kavri {

namespace {

// A slider beside the graduation of calibration point `point`.
struct SliderPlace {
  int control;
  Rect rect;
  int point;
};

struct CalibrationLayout {
  CalibrationKind kind;
  int window;
  std::string_view title;
  Rect geometry;
  bool close_box;
  std::span<const SliderPlace> sliders;  // in slider-number order
  std::span<const ControlPlace> controls;
  int validate_button;
  int cancel_button;
  // A 0 at this point marks a gauge as not yet calibrated.
  int calibrated_point;
  // A preset puts this many sliders (in number order) on the course minimum and the rest
  // on the course maximum.
  int preset_min_sliders;
};

constexpr auto kSuctionSliders = std::to_array<SliderPlace>({
    {89, {165, 210, 200, 30}, 0},
    {90, {165, 175, 200, 30}, 1},
    {91, {165, 140, 200, 30}, 2},
    {92, {165, 105, 200, 35}, 3},
    {93, {165, 65, 200, 35}, 4},
    {94, {165, 30, 200, 35}, 5},
});

constexpr auto kSuctionControls = std::to_array<ControlPlace>({
    {95, ControlKind::button, {145, 255, 90, 20}, "Valider"},
    {96, ControlKind::button, {260, 255, 90, 20}, "Annuler"},
    {97, ControlKind::label, {95, 10, 85, 20}, "repère de position"},
    {98, ControlKind::label, {190, 10, 150, 15}, "Position", Align::center},
    {99, ControlKind::label, {130, 205, 25, 30}, "0", Align::left, FontId::large},
    {100, ControlKind::label, {130, 170, 25, 30}, "3", Align::left, FontId::large},
    {101, ControlKind::label, {130, 135, 25, 30}, "4", Align::left, FontId::large},
    {102, ControlKind::label, {130, 100, 25, 30}, "5", Align::left, FontId::large},
    {103, ControlKind::label, {130, 65, 25, 30}, "6", Align::left, FontId::large},
    {104, ControlKind::label, {130, 30, 25, 30}, "7", Align::left, FontId::large},
});

// The graduations run from 50 at the bottom up to -50: slider 122 + i sets point 6 - i.
constexpr auto kOatSliders = std::to_array<SliderPlace>({
    {122, {170, 290, 200, 30}, 6},
    {123, {170, 255, 200, 30}, 5},
    {124, {170, 220, 200, 30}, 4},
    {125, {170, 185, 200, 30}, 3},
    {126, {170, 150, 200, 30}, 2},
    {127, {170, 115, 200, 30}, 1},
    {128, {170, 80, 200, 30}, 0},
});

constexpr auto kOatControls = std::to_array<ControlPlace>({
    {113, ControlKind::label, {75, 20, 100, 15}, "Repère de position"},
    {114, ControlKind::label, {265, 15, 90, 15}, "Position"},
    {115, ControlKind::label, {100, 285, 50, 35}, "50", Align::center, FontId::large},
    {116, ControlKind::label, {100, 250, 50, 35}, "40", Align::center, FontId::large},
    {117, ControlKind::label, {100, 215, 50, 35}, "20", Align::center, FontId::large},
    {118, ControlKind::label, {100, 180, 50, 35}, "0", Align::center, FontId::large},
    {119, ControlKind::label, {100, 145, 50, 35}, "-20", Align::center, FontId::large},
    {120, ControlKind::label, {100, 110, 50, 35}, "-40", Align::center, FontId::large},
    {121, ControlKind::label, {100, 75, 50, 35}, "-50", Align::center, FontId::large},
    {129, ControlKind::button, {115, 335, 90, 20}, "Valider"},
    {130, ControlKind::button, {255, 335, 90, 20}, "Annuler"},
});

constexpr auto kFuelSliders = std::to_array<SliderPlace>({
    {131, {165, 210, 200, 30}, 0},
    {132, {165, 175, 200, 30}, 1},
    {133, {165, 140, 200, 30}, 2},
    {134, {165, 105, 200, 35}, 3},
    {135, {165, 60, 200, 35}, 4},
});

// The fuel window's labels take their own numbers (the suction window's plus 1000): both
// windows may be open at once, and a control number names one control only.
constexpr auto kFuelControls = std::to_array<ControlPlace>({
    {136, ControlKind::button, {145, 255, 90, 20}, "Valider"},
    {137, ControlKind::button, {260, 255, 90, 20}, "Annuler"},
    {1097, ControlKind::label, {95, 40, 85, 20}, "repère de position"},
    {1098, ControlKind::label, {190, 40, 150, 15}, "Position", Align::center},
    {1099, ControlKind::label, {110, 205, 50, 30}, "0", Align::right, FontId::large},
    {1100, ControlKind::label, {110, 170, 50, 30}, "25", Align::right, FontId::large},
    {1101, ControlKind::label, {110, 135, 50, 30}, "50", Align::right, FontId::large},
    {1102, ControlKind::label, {110, 100, 50, 30}, "75", Align::right, FontId::large},
    {1103, ControlKind::label, {110, 65, 50, 30}, "100", Align::right, FontId::large},
});

constexpr auto kLayouts = std::to_array<CalibrationLayout>({
    {CalibrationKind::suction,
     SUCTION_WINDOW,
     "Calibrage jauge suction",
     {349, 442, 463, 309},
     false,
     kSuctionSliders,
     kSuctionControls,
     95,
     96,
     3,
     3},
    {CalibrationKind::oat,
     OAT_WINDOW,
     "Calibrage Jauge OAT",
     {393, 53, 463, 385},
     true,
     kOatSliders,
     kOatControls,
     129,
     130,
     6,
     3},
    {CalibrationKind::fuel,
     FUEL_WINDOW,
     "Calibrage jauge essence",
     {349, 442, 463, 309},
     false,
     kFuelSliders,
     kFuelControls,
     136,
     137,
     4,
     2},
});

const CalibrationLayout& layout_of(CalibrationKind kind) {
  for (const auto& layout : kLayouts) {
    if (layout.kind == kind) return layout;
  }
  return kLayouts[0];  // unreachable: every kind has a layout
}

std::span<Relaxed<std::uint8_t>> calibration_slot(CalibrationTables& tables, CalibrationKind kind,
                                                  int module_index) {
  const auto j = static_cast<std::size_t>(module_index);
  switch (kind) {
    case CalibrationKind::suction:
      return tables.suction_calibration[j];
    case CalibrationKind::oat:
      return tables.oat_calibration[j];
    case CalibrationKind::fuel:
      return tables.fuel_calibration[j];
  }
  return tables.suction_calibration[j];  // unreachable
}

std::uint8_t address_of(const CalibrationGauge& gauge) {
  return static_cast<std::uint8_t>(parse_number_text(gauge.address_text));
}

std::string gauge_name(const CalibrationGauge& gauge) {
  return "module " + gauge.address_text + ", jauge " + std::to_string(gauge.gauge + 1);
}

// Sets the window's sliders from the points of its gauge, or presets them from the module's
// course limits when the gauge is not yet calibrated.
void refresh_sliders(WindowContext& ctx, const CalibrationLayout& layout,
                     const CalibrationGauge& target) {
  const int gauge = target.gauge;
  const auto slot = calibration_slot(ctx.calibration, layout.kind, target.module_index);
  const bool calibrated = slot[static_cast<std::size_t>(2 * layout.calibrated_point + gauge)] != 0;
  const ModuleRecord& record = ctx.modules.records[static_cast<std::size_t>(target.module_index)];
  const GaugeRecord& shown = record.gauges[static_cast<std::size_t>(gauge)];
  const int course_min = shown.course_min;
  const int course_max = shown.course_max;
  int place = 0;
  for (const SliderPlace& slider : layout.sliders) {
    int position = place++ < layout.preset_min_sliders ? course_min : course_max;
    if (calibrated) position = slot[static_cast<std::size_t>(2 * slider.point + gauge)];
    ctx.ui.set_value(slider.control, position);
  }
}

void close_window(WindowContext& ctx, int window) {
  ctx.ui.destroy_window(window);
  ctx.calibrating.reset();
  ctx.calibration.hand_driven_gauge = -1;
}

// Drives the held needle to the position of `slider`.
std::uint8_t send_slider_position(WindowContext& ctx, int slider) {
  const CalibrationGauge& target = ctx.calibrating->gauge;
  const auto p = static_cast<std::uint8_t>(ctx.ui.value(slider));
  ctx.bus.send(target.gauge == 0 ? CMD_SET_POSITION_1 : CMD_SET_POSITION_2, address_of(target), p);
  return p;
}

void on_slider_moved(WindowContext& ctx, CalibrationKind kind, const SliderPlace& slider) {
  if (!ctx.calibrating || ctx.calibrating->window != layout_of(kind).window) return;
  const CalibrationGauge& target = ctx.calibrating->gauge;
  ctx.calibrating->moved_slider = slider.control;
  const std::uint8_t p = send_slider_position(ctx, slider.control);
  calibration_slot(ctx.calibration, kind,
                   target.module_index)[static_cast<std::size_t>(2 * slider.point + target.gauge)] =
      p;
}

// Saves the window's points; a file that cannot take them is reported and the window stays
// open with its points, so that nothing the user set is lost.
void on_validate(WindowContext& ctx, const CalibrationLayout& layout) {
  if (!ctx.calibrating || ctx.calibrating->window != layout.window) return;
  const CalibrationGauge& target = ctx.calibrating->gauge;
  Prefs file;
  const PrefsOpening opening = file.open_or_create(ctx.calibration_file);
  file.select_group(calibration_group(layout.kind));
  for (const SliderPlace& slider : layout.sliders) {
    file.write_int(calibration_key(layout.kind, slider.point, target.address_text, target.gauge),
                   ctx.ui.value(slider.control));
  }
  const bool saved =
      file.close() && (opening == PrefsOpening::opened || opening == PrefsOpening::created);
  if (!saved) {
    ctx.ui.message_box("Erreur", "Je ne peux pas enregistrer le calibrage dans le fichier " +
                                     ctx.calibration_file +
                                     " : les points restent dans la fenêtre.");
    return;
  }
  close_window(ctx, layout.window);
}

}  // namespace

std::optional<SelectedModule> selected_module(const Toolkit& ui) {
  const int entry = ui.selection(MAIN_MODULE_SELECTOR);
  if (entry < 1 || entry > MAX_MODULES) return std::nullopt;
  return SelectedModule{entry - 1, ui.item_text(MAIN_MODULE_SELECTOR, entry)};
}

void open_calibration_window(WindowContext& ctx, CalibrationKind kind,
                             const CalibrationGauge& gauge) {
  if (gauge.module_index < 0 || gauge.module_index >= MAX_MODULES) return;
  const CalibrationLayout& layout = layout_of(kind);
  WindowSpec spec;
  spec.number = layout.window;
  spec.title = std::string(layout.title) + " - " + gauge_name(gauge);
  spec.geometry = layout.geometry;
  spec.close_box = layout.close_box;
  spec.sizable = true;
  ctx.ui.create_window(spec);
  add_controls(ctx.ui, layout.window, layout.controls);
  for (const SliderPlace& slider : layout.sliders) {
    ControlSpec slider_spec;
    slider_spec.number = slider.control;
    slider_spec.kind = ControlKind::slider;
    slider_spec.rect = slider.rect;
    slider_spec.range_max = 255;  // a raw needle position
    ctx.ui.add_control(layout.window, slider_spec);
  }
  ctx.calibrating = CalibrationBinding{layout.window, gauge};
  ctx.calibration.hand_driven_gauge = 2 * gauge.module_index + gauge.gauge;
  report_calibration_file(
      ctx, load_calibrations(ctx.calibration, std::span(&gauge, 1), ctx.calibration_file));
  refresh_sliders(ctx, layout, gauge);
}

void calibrate_gauge(WindowContext& ctx, int gauge, int type_index) {
  const auto module = selected_module(ctx.ui);
  const auto kind = calibration_kind_of_type(type_index + 1);
  if (!module || !kind) return;
  const CalibrationGauge target{module->index, module->address_text, gauge == 0 ? 0 : 1};
  if (ctx.calibrating) {
    const CalibrationGauge& open = ctx.calibrating->gauge;
    const bool same = ctx.calibrating->window == layout_of(*kind).window &&
                      open.module_index == target.module_index && open.gauge == target.gauge;
    if (!same) {
      ctx.ui.message_box("Erreur", "Un calibrage est déjà en cours (" + gauge_name(open) +
                                       ") : validez-le ou annulez-le d'abord.");
    }
    return;
  }
  open_calibration_window(ctx, *kind, target);
}

void resend_calibration_needle(WindowContext& ctx) {
  if (ctx.calibrating && ctx.calibrating->moved_slider != 0) {
    send_slider_position(ctx, ctx.calibrating->moved_slider);
  }
}

void install_calibration_windows(WindowContext& ctx) {
  for (const CalibrationLayout& layout : kLayouts) {
    for (const SliderPlace& slider : layout.sliders) {
      ctx.dispatch.control_handlers[slider.control] = [&ctx, &slider, kind = layout.kind] {
        on_slider_moved(ctx, kind, slider);
      };
    }
    ctx.dispatch.control_handlers[layout.validate_button] = [&ctx, &layout] {
      on_validate(ctx, layout);
    };
    ctx.dispatch.control_handlers[layout.cancel_button] = [&ctx, window = layout.window] {
      close_window(ctx, window);
    };
  }
}

std::vector<CalibrationGauge> gauges_to_reload(const WindowContext& ctx) {
  std::vector<CalibrationGauge> gauges;
  const int count = std::min<int>(ctx.modules.module_count, MAX_MODULES);
  for (int i = 0; i < count; ++i) {
    const ModuleRecord& module = ctx.modules.records[static_cast<std::size_t>(i)];
    const std::string address = format_decimal(module.address);
    for (int g = 0; g < 2; ++g) {
      const bool held = ctx.calibrating && ctx.calibrating->gauge.module_index == i &&
                        ctx.calibrating->gauge.gauge == g;
      const int type = module.gauges[static_cast<std::size_t>(g)].type;
      if (!held && calibration_kind_of_type(type)) gauges.push_back({i, address, g});
    }
  }
  return gauges;
}

void report_calibration_file(WindowContext& ctx, PrefsOpening opening) {
  const bool unreadable = opening == PrefsOpening::unreadable;
  if (unreadable && !ctx.calibration_file_unreadable) {
    ctx.ui.message_box("Erreur", "Je ne peux pas lire le fichier " + ctx.calibration_file +
                                     " : il est laissé tel quel et les points de calibrage "
                                     "valent 0.");
  }
  ctx.calibration_file_unreadable = unreadable;
}

}  // namespace kavri
