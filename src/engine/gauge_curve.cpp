#include "engine/gauge_curve.h"

#include <charconv>
#include <cmath>
#include <span>

#include "bus_model/gauge_types.h"
#include "engine/calibrated_curves.h"
#include "engine/gauge_calculator.h"
#include "engine/gauge_steps.h"

namespace kavri {
namespace {

// The simulator values a gauge is shown over, from ... to.
struct ValueRange {
  double from = 0;
  double to = 0;
};

// A calibrated type's range is its dial's, a fixed curve's its curve's; any other type's is the
// gauge's limits (in the units the conversion divides by the ratio) turned back into the value
// the simulator sends.
ValueRange value_range(const GaugeSettings& settings) {
  if (const auto kind = calibration_kind_of_type(settings.type)) {
    const CalibrationDial dial = calibration_dial(*kind);
    return {dial.at.front() * dial.received_per_unit, dial.at.back() * dial.received_per_unit};
  }
  if (const auto end = fixed_curve_end(settings.type)) return {0, static_cast<double>(*end)};
  // Limits that give no range: the 256 steps of a byte, one unit each.
  const bool ranged = settings.sim_min < settings.sim_max;
  const double low = ranged ? settings.sim_min : 0;
  const double high = ranged ? settings.sim_max : 255;
  const LimitUnits units = limit_units(settings.type);
  return {low * units.scale + units.offset, high * units.scale + units.offset};
}

// The calibration points of the gauge's type, marked where they sit on its dial.
void mark_calibration(GaugeCurve& curve, const CalibrationTables& tables, int type) {
  const auto kind = calibration_kind_of_type(type);
  if (!kind) return;
  const CalibrationDial dial = calibration_dial(*kind);
  curve.dial_unit = dial.unit;
  const GaugeCalibration calibration = calibration_points(tables, 0, curve.gauge, type);
  std::span<const std::uint8_t> points = calibration.fuel;
  if (*kind == CalibrationKind::suction) points = calibration.suction;
  if (*kind == CalibrationKind::oat) points = calibration.oat;
  for (std::size_t k = 0; k < points.size(); ++k) {
    curve.marks.push_back({dial.at[k], dial.at[k] * dial.received_per_unit, points[k]});
  }
}

// A value of the range as kavri-gauge would be given it: a shortest decimal for an 8-byte
// offset, the nearest integer otherwise.
struct TypedValue {
  double number = 0;
  std::string text;
};

TypedValue typed_value(double value, std::uint8_t offset_length) {
  char digits[32];
  if (offset_length == 8) {
    return {value, std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr)};
  }
  const long long whole = std::llround(value);
  return {static_cast<double>(whole),
          std::string(digits, std::to_chars(digits, digits + sizeof digits, whole).ptr)};
}

}  // namespace

GaugeCurve trace_gauge_curve(const ModuleRecord& record, const CalibrationTables& tables, int gauge,
                             std::uint8_t glide_flag, std::uint16_t battery, int samples) {
  const GaugeSettings settings = gauge_settings(record, gauge);
  GaugeCalculator calculator(record, tables, gauge, glide_flag, battery);
  GaugeCurve curve;
  curve.gauge = gauge;
  const auto names = gauge == 1 ? gauge1_type_names() : gauge2_type_names();
  curve.type_name = names[static_cast<std::size_t>(settings.type - 1)];
  curve.course_min = settings.course_min;
  curve.course_max = settings.course_max;
  curve.inverted = record.gauges[static_cast<std::size_t>(gauge - 1)].inverted.load() != 0;
  curve.position_max = calculator.split() ? 65535 : 255;
  const ValueRange range = value_range(settings);
  curve.from = range.from;
  curve.to = range.to;

  mark_calibration(curve, tables, settings.type);

  for (int i = 0; i < samples; ++i) {
    const double wanted = range.from + (range.to - range.from) * i / (samples - 1);
    TypedValue typed = typed_value(wanted, settings.offset_length);
    // A narrow integer range repeats values.
    if (!curve.points.empty() && typed.text == curve.points.back().value_text) continue;
    // As kavri-gauge reads the text, so the picture shows what its text output shows.
    const double received = parse_simulator_value(typed.text, settings.offset_length).value();
    const GaugePosition shown = calculator.shown_after_pass(received);
    curve.points.push_back({std::move(typed.text), typed.number, shown.low + 256 * shown.high,
                            calculator.text_of(shown)});
  }
  return curve;
}

}  // namespace kavri
