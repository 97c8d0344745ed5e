#include "procedures/calibration_windows.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/number_text.h"
#include "bus_model/gauge_types.h"
#include "config/prefs.h"
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

using Suction = SuctionControl;
using Oat = OatControl;
using Fuel = FuelControl;
constexpr ControlKind kLabel = ControlKind::label;
constexpr ControlKind kButton = ControlKind::button;
constexpr FontId kLarge = FontId::large;

constexpr auto kSuctionSliders = std::to_array<SliderPlace>({
    {Suction::slider_0, {165, 210, 200, 30}, 0},
    {Suction::slider_3, {165, 175, 200, 30}, 1},
    {Suction::slider_4, {165, 140, 200, 30}, 2},
    {Suction::slider_5, {165, 105, 200, 35}, 3},
    {Suction::slider_6, {165, 65, 200, 35}, 4},
    {Suction::slider_7, {165, 30, 200, 35}, 5},
});

constexpr auto kSuctionControls = std::to_array<ControlPlace>({
    {Suction::validate_button, kButton, {145, 255, 90, 20}, "Valider"},
    {Suction::cancel_button, kButton, {260, 255, 90, 20}, "Annuler"},
    {Suction::marker_caption, kLabel, {95, 10, 85, 20}, "repère de position"},
    {Suction::position_caption, kLabel, {190, 10, 150, 15}, "Position", Align::center},
    {Suction::graduation_0, kLabel, {130, 205, 25, 30}, "0", Align::left, kLarge},
    {Suction::graduation_3, kLabel, {130, 170, 25, 30}, "3", Align::left, kLarge},
    {Suction::graduation_4, kLabel, {130, 135, 25, 30}, "4", Align::left, kLarge},
    {Suction::graduation_5, kLabel, {130, 100, 25, 30}, "5", Align::left, kLarge},
    {Suction::graduation_6, kLabel, {130, 65, 25, 30}, "6", Align::left, kLarge},
    {Suction::graduation_7, kLabel, {130, 30, 25, 30}, "7", Align::left, kLarge},
});

// The graduations run from 50 at the bottom up to -50: the slider of graduation 50 sets point 6.
constexpr auto kOatSliders = std::to_array<SliderPlace>({
    {Oat::slider_50, {170, 290, 200, 30}, 6},
    {Oat::slider_40, {170, 255, 200, 30}, 5},
    {Oat::slider_20, {170, 220, 200, 30}, 4},
    {Oat::slider_0, {170, 185, 200, 30}, 3},
    {Oat::slider_minus_20, {170, 150, 200, 30}, 2},
    {Oat::slider_minus_40, {170, 115, 200, 30}, 1},
    {Oat::slider_minus_50, {170, 80, 200, 30}, 0},
});

constexpr auto kOatControls = std::to_array<ControlPlace>({
    {Oat::marker_caption, kLabel, {75, 20, 100, 15}, "Repère de position"},
    {Oat::position_caption, kLabel, {265, 15, 90, 15}, "Position"},
    {Oat::graduation_50, kLabel, {100, 285, 50, 35}, "50", Align::center, kLarge},
    {Oat::graduation_40, kLabel, {100, 250, 50, 35}, "40", Align::center, kLarge},
    {Oat::graduation_20, kLabel, {100, 215, 50, 35}, "20", Align::center, kLarge},
    {Oat::graduation_0, kLabel, {100, 180, 50, 35}, "0", Align::center, kLarge},
    {Oat::graduation_minus_20, kLabel, {100, 145, 50, 35}, "-20", Align::center, kLarge},
    {Oat::graduation_minus_40, kLabel, {100, 110, 50, 35}, "-40", Align::center, kLarge},
    {Oat::graduation_minus_50, kLabel, {100, 75, 50, 35}, "-50", Align::center, kLarge},
    {Oat::validate_button, kButton, {115, 335, 90, 20}, "Valider"},
    {Oat::cancel_button, kButton, {255, 335, 90, 20}, "Annuler"},
});

constexpr auto kFuelSliders = std::to_array<SliderPlace>({
    {Fuel::slider_0, {165, 210, 200, 30}, 0},
    {Fuel::slider_25, {165, 175, 200, 30}, 1},
    {Fuel::slider_50, {165, 140, 200, 30}, 2},
    {Fuel::slider_75, {165, 105, 200, 35}, 3},
    {Fuel::slider_100, {165, 60, 200, 35}, 4},
});

constexpr auto kFuelControls = std::to_array<ControlPlace>({
    {Fuel::validate_button, kButton, {145, 255, 90, 20}, "Valider"},
    {Fuel::cancel_button, kButton, {260, 255, 90, 20}, "Annuler"},
    {Fuel::marker_caption, kLabel, {95, 40, 85, 20}, "repère de position"},
    {Fuel::position_caption, kLabel, {190, 40, 150, 15}, "Position", Align::center},
    {Fuel::graduation_0, kLabel, {110, 205, 50, 30}, "0", Align::right, kLarge},
    {Fuel::graduation_25, kLabel, {110, 170, 50, 30}, "25", Align::right, kLarge},
    {Fuel::graduation_50, kLabel, {110, 135, 50, 30}, "50", Align::right, kLarge},
    {Fuel::graduation_75, kLabel, {110, 100, 50, 30}, "75", Align::right, kLarge},
    {Fuel::graduation_100, kLabel, {110, 65, 50, 30}, "100", Align::right, kLarge},
});

constexpr auto kLayouts = std::to_array<CalibrationLayout>({
    {CalibrationKind::suction,
     SUCTION_WINDOW,
     "Calibrage jauge suction",
     {349, 442, 463, 309},
     false,
     kSuctionSliders,
     kSuctionControls,
     SuctionControl::validate_button,
     SuctionControl::cancel_button,
     3,
     3},
    {CalibrationKind::oat,
     OAT_WINDOW,
     "Calibrage Jauge OAT",
     {393, 53, 463, 385},
     true,
     kOatSliders,
     kOatControls,
     OatControl::validate_button,
     OatControl::cancel_button,
     6,
     3},
    {CalibrationKind::fuel,
     FUEL_WINDOW,
     "Calibrage jauge essence",
     {349, 442, 463, 309},
     false,
     kFuelSliders,
     kFuelControls,
     FuelControl::validate_button,
     FuelControl::cancel_button,
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

// The gauge goes back to the transfer cycle, and another gauge may be calibrated.
void release_gauge(WindowContext& ctx) {
  ctx.calibrating.reset();
  ctx.hand_drive_gauge(-1);
}

void close_window(WindowContext& ctx, int window) {
  ctx.ui.destroy_window(window);
  release_gauge(ctx);
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
  spec.owner = PARAMETER_WINDOW;  // in front of it, and closed with it
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
  ctx.hand_drive_gauge(2 * gauge.module_index + gauge.gauge);
  report_calibration_file(
      ctx, load_calibrations(ctx.calibration, std::span(&gauge, 1), ctx.calibration_file));
  refresh_sliders(ctx, layout, gauge);
}

void calibrate_gauge(WindowContext& ctx, const SelectedModule& module, int gauge, int type_index) {
  const auto kind = calibration_kind_of_type(type_index + 1);
  if (!kind) return;
  const CalibrationGauge target{module.index, format_decimal(module.address), gauge == 0 ? 0 : 1};
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
  // A calibration window that closed with the parameter window lets go of its gauge too.
  ctx.dispatch.pass_hooks.push_back([&ctx] {
    if (ctx.calibrating && !ctx.ui.window_exists(ctx.calibrating->window)) release_gauge(ctx);
  });
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
