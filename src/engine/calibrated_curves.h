// The three calibrated curves (suction, outside-air temperature, fuel): straight segments
// between the points a user set for one gauge, each point the absolute needle position of
// one graduation. The course minimum is taken off here because the common position step adds
// it back.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "config/calibration_tables.h"

namespace kavri {

// The received value of one degree of the outside-air temperature (types 13 and 14).
constexpr int OAT_RECEIVED_PER_DEGREE = 256;

// A calibrated curve's dial: its unit, where its points sit on it (in that unit), and the
// received value that shows dial value 1.
struct CalibrationDial {
  std::string_view unit;
  std::span<const double> at;
  double received_per_unit = 1;
};
CalibrationDial calibration_dial(CalibrationKind kind);

// Suction (type 12): points at 0, 3, 4, 5, 6, 7 of the simulator value x. Between 0 and 3 the
// needle runs straight from the first point to the second. Outside 0-7 (and NaN): 0.
std::uint8_t suction_curve_position(double x, const std::array<std::uint8_t, 6>& points,
                                    std::uint8_t course_min);

// Outside-air temperature (type 14): points at -50, -40, -20, 0, 20, 40, 50 degrees q. A
// breakpoint belongs to the higher segment. Steps between points are taken modulo 256, so
// points must not decrease along the scale. Outside -50-50: 0.
std::uint8_t oat_curve_position(int q, const std::array<std::uint8_t, 7>& points,
                                std::uint8_t course_min);

// Fuel (type 18): points at 0, 25, 50, 75, 100 percent, the percentage being L / 83886 while
// the battery is on and 0 (the empty-tank point) while it is off. Steps modulo 256 as above.
std::uint8_t fuel_curve_position(std::int64_t l, std::int32_t sim_battery,
                                 const std::array<std::uint8_t, 5>& points,
                                 std::uint8_t course_min);

}  // namespace kavri
