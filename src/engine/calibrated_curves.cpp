#include "engine/calibrated_curves.h"

#include "base/rounding.h"

namespace kavri {
namespace {

// The step from point a to point b as a byte difference: a drop reads as 256 minus the drop,
// which is how stored calibrations have always been read.
int byte_step(std::uint8_t from, std::uint8_t to) { return static_cast<std::uint8_t>(to - from); }

// Where each curve's points sit on its dial. The segments are closed, and at a shared
// breakpoint the higher segment's formula holds.
constexpr std::array<double, 6> kSuctionAt{0, 3, 4, 5, 6, 7};
constexpr std::array<double, 7> kOatAt{-50, -40, -20, 0, 20, 40, 50};
constexpr std::array<double, 5> kFuelAt{0, 25, 50, 75, 100};
constexpr int FUEL_PERCENT_UNIT = 83886;

}  // namespace

std::uint8_t suction_curve_position(double x, const std::array<std::uint8_t, 6>& p,
                                    std::uint8_t course_min) {
  const auto& kAt = kSuctionAt;
  double result = 0;
  for (std::size_t k = 0; k + 1 < kAt.size(); ++k) {
    if (!(x >= kAt[k] && x <= kAt[k + 1])) continue;  // NaN is outside too
    const double slope = (p[k + 1] - p[k]) / (kAt[k + 1] - kAt[k]);
    result = p[k] + slope * (x - kAt[k]) - course_min;
  }
  return round_to_byte(result);
}

std::uint8_t oat_curve_position(int q, const std::array<std::uint8_t, 7>& p,
                                std::uint8_t course_min) {
  const auto& kAt = kOatAt;
  double result = 0;
  for (std::size_t k = 0; k + 1 < kAt.size(); ++k) {
    if (q < kAt[k] || q > kAt[k + 1]) continue;
    const double width = kAt[k + 1] - kAt[k];
    result =
        p[k] + static_cast<double>(q - kAt[k]) * byte_step(p[k], p[k + 1]) / width - course_min;
  }
  return round_to_byte(result);
}

std::uint8_t fuel_curve_position(std::int64_t l, std::int32_t sim_battery,
                                 const std::array<std::uint8_t, 5>& p, std::uint8_t course_min) {
  const int pct = sim_battery != 0 ? low16_signed(l / FUEL_PERCENT_UNIT) : 0;
  // Integer percentages: 0-25, 26-50, 51-75, 76-100, each measured from its lower point.
  const auto& kAt = kFuelAt;
  double result = 0;
  for (std::size_t k = 0; k + 1 < kAt.size(); ++k) {
    const double first = k == 0 ? kAt[k] : kAt[k] + 1;
    if (pct < first || pct > kAt[k + 1]) continue;
    result =
        p[k] + static_cast<double>(pct - kAt[k]) * byte_step(p[k], p[k + 1]) / 25.0 - course_min;
  }
  return round_to_byte(result);
}

CalibrationDial calibration_dial(CalibrationKind kind) {
  switch (kind) {
    case CalibrationKind::suction:
      return {"inHg", kSuctionAt, 1};
    case CalibrationKind::oat:
      return {"°C", kOatAt, OAT_RECEIVED_PER_DEGREE};
    case CalibrationKind::fuel:
      break;
  }
  return {"%", kFuelAt, FUEL_PERCENT_UNIT};
}

}  // namespace kavri
