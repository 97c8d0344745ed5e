#include "engine/gauge_curve.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "bus_model/gauge_types.h"
#include "engine/gauge_calculator.h"
#include "engine/gauge_steps.h"

namespace kavri {
namespace {

// The simulator values a gauge is shown over: a type's own range, or the gauge's limits (in the
// units the conversion divides by the ratio) times `scale` plus `offset`, which turns them back
// into the value the simulator sends.
struct ValueRange {
  double from = 0;
  double to = 0;
};

constexpr double FULL_TURN = 4294967296.0;  // a 32-bit angle

std::optional<ValueRange> own_range(int type) {
  switch (type) {
    case 1:
    case 37:
    case 40:
      return ValueRange{0, 16383};  // the flap curves' input
    case 5:
      return ValueRange{0, 12192};  // the cabin altitude curve's input
    case 12:
      return ValueRange{0, 7};  // the suction dial
    case 14:
      return ValueRange{-50 * 256, 50 * 256};  // degrees x 256
    case 18:
      return ValueRange{0, 100 * 83886};  // percent of the tank
    default:
      return std::nullopt;
  }
}

// What one unit of the gauge's limits is in simulator units, and the value of limit 0.
struct LimitUnits {
  double scale = 1;
  double offset = 0;
};

LimitUnits limit_units(int type) {
  switch (type) {
    case 4:
      return {2.2, 0};
    case 7:
      return {1.85 * 0.39, 491};  // degrees Rankine
    case 8:
      return {83840, 0};
    case 9:
      return {1 / 3.27, 0};
    case 13:
      return {256, 0};
    case 19:
      return {FULL_TURN / 3600, 0};
    case 20:
    case 28:
      return {FULL_TURN / 360, 0};
    case 21:
      return {144, 0};
    case 22:
      return {70.7262, 0};
    case 24:
    case 35:
      return {1 / 0.36, 0};
    case 26:
      return {1, 459.67};
    case 27:
      return {16384.0 / 55, 0};
    case 32:
      return {10.416, 0};
    case 33:
      return {16384, 0};
    case 38:
      return {1.8, 32};
    case 39:
      return {1.8, 32 + 459.67};
    default:
      return {};
  }
}

ValueRange value_range(const GaugeSettings& settings) {
  if (const auto own = own_range(settings.type)) return *own;
  // Limits that give no range: the 256 steps of a byte, one unit each.
  const bool ranged = settings.sim_min < settings.sim_max;
  const double low = ranged ? settings.sim_min : 0;
  const double high = ranged ? settings.sim_max : 255;
  const LimitUnits units = limit_units(settings.type);
  return {low * units.scale + units.offset, high * units.scale + units.offset};
}

// The calibration points of a calibrated type, with the dial value of each point.
struct DialScale {
  std::string_view unit;
  std::vector<double> dial;
  double value_per_dial = 1;  // the simulator value that shows dial value 1
};

DialScale dial_scale(int type) {
  switch (type) {
    case 12:
      return {"inHg", {0, 3, 4, 5, 6, 7}, 1};
    case 14:
      return {"°C", {-50, -40, -20, 0, 20, 40, 50}, 256};
    case 18:
      return {"%", {0, 25, 50, 75, 100}, 83886};
    default:
      return {};
  }
}

std::vector<std::uint8_t> points_of_type(const GaugeCalibration& calibration, int type) {
  switch (type) {
    case 12:
      return {calibration.suction.begin(), calibration.suction.end()};
    case 14:
      return {calibration.oat.begin(), calibration.oat.end()};
    case 18:
      return {calibration.fuel.begin(), calibration.fuel.end()};
    default:
      return {};
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

  const DialScale dial = dial_scale(settings.type);
  curve.dial_unit = dial.unit;
  const auto points =
      points_of_type(calibration_points(tables, 0, gauge, settings.type), settings.type);
  for (std::size_t k = 0; k < points.size(); ++k) {
    curve.marks.push_back({dial.dial[k], dial.dial[k] * dial.value_per_dial, points[k]});
  }

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
