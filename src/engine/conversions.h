// Every conversion of a simulator value into a needle position: the 40 gauge types in both
// gauge columns, and the common position step that the transfer cycle applies after them.
// Pure functions: no thread, no I/O, a defined result for every input. A value beyond the
// integer it is rounded or truncated to keeps the low bits of its integer part (modulo 2^64,
// then the width asked for), NaN and infinities count as 0, integer steps wrap at their width,
// and a single-precision store beyond the float range gives the largest float or infinity.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "bus_model/gauge_types.h"

namespace kavri {

// The configuration of the gauge being converted (gauge 1's or gauge 2's fields).
struct GaugeSettings {
  std::uint8_t type = 0;
  float ratio = 0;  // simulator units per position step
  std::uint8_t course_min = 0;
  std::uint8_t course_max = 0;
  std::int16_t sim_min = 0;
  std::int32_t sim_max = 0;
  std::uint8_t offset_length = 0;
};

// The served gauge's calibration points (point k of that gauge), of the table its type reads.
struct GaugeCalibration {
  std::array<std::uint8_t, 6> suction{};
  std::array<std::uint8_t, 7> oat{};
  std::array<std::uint8_t, 5> fuel{};
};

// Everything a conversion reads besides the working value.
struct ConversionInputs {
  GaugeSettings gauge;
  std::uint16_t value_u16 = 0;             // the gauge's 2-byte receive area (type 14)
  std::uint8_t gauge2_type = 0;            // 17 there switches type 17's x 10 off
  std::uint8_t output2_offset_length = 0;  // type 30's rest position, type 32's factor x 10
  std::uint8_t glide_flag = 0;             // type 30
  std::int32_t sim_battery = 0;            // type 18
  GaugeCalibration calibration;            // types 12, 14, 18
};

// A gauge position: `low` is the byte of every type; split types also set `high`.
struct GaugePosition {
  std::uint8_t low = 0;
  std::uint8_t high = 0;
};

// Gauge 1's conversion of `working_value` (which some types overwrite with an intermediate
// result). A type outside 1-40 has no conversion: nullopt, and the gauge is left undriven.
std::optional<GaugePosition> convert_gauge1(const ConversionInputs& in, double& working_value);

// Gauge 2's conversion. Types 10, 11 and 28, which the second list offers under their ordinary
// names, use the gauge-1 formula with the gauge-2 inputs. The types that the second list marks
// "------", the type-17 modifier and types outside 1-40 have no gauge-2 conversion: nullopt,
// and the gauge is left undriven rather than showing a byte left over from another gauge.
// Whether a type has one is has_gauge2_conversion(type) of the gauge-type table.
std::optional<std::uint8_t> convert_gauge2(const ConversionInputs& in, double& working_value);

// What one unit of a gauge's simulator limits is in the value its type receives (`scale`),
// and the received value of limit 0 (`offset`): the units the conversion takes the received
// value out of before it divides by the ratio. One to one for the types that take none.
struct LimitUnits {
  double scale = 1;
  double offset = 0;
};
LimitUnits limit_units(int type);

// For a type drawn by a fixed piecewise curve, the last received value of its curve (the
// curve starts at 0); nullopt for the other types.
std::optional<std::int32_t> fixed_curve_end(int type);

// The common position step: (position + course_min) modulo 256, then the upper bound, then the
// lower bound. Positions are bytes: a converted 250 with course 10-200 wraps to 4, then
// clamps to 10; configured gauges rely on this, so it does not saturate.
constexpr std::uint8_t common_position_step(std::uint8_t position, std::uint8_t course_min,
                                            std::uint8_t course_max) {
  auto p = static_cast<std::uint8_t>(position + course_min);
  if (p > course_max) p = course_max;
  if (p < course_min) p = course_min;
  return p;
}

}  // namespace kavri
