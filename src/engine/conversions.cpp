#include "engine/conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/calibrated_curves.h"
#include "engine/conversion_arithmetic.h"
#include "engine/curves.h"

namespace kavri {
namespace {

using namespace conversion;
using enum GaugeType;

// A 32-bit angle to tenths of a degree and to degrees; both exact in single precision.
constexpr float ANGLE_TENTHS_FACTOR = 3600.0f / 4294967296.0f;
constexpr float ANGLE_DEGREES_FACTOR = 360.0f / 4294967296.0f;
constexpr std::int32_t VERTICAL_SPEED_FACTOR = 1;

// The units the conversions take the received value out of. Each is written once, here, so
// that limit_units() reads the very numbers the formulas divide by.
constexpr double KA350_RPM_UNIT = 2.2;
constexpr int RANKINE_FREEZING = 491;  // water freezes at 491 degrees Rankine
constexpr double RADIATOR_UNIT_1 = 1.85;
constexpr double RADIATOR_UNIT_2 = 0.39;
constexpr int FUEL_TANK_UNIT = 83840;
constexpr double FEET_PER_UNIT = 3.27;
constexpr int OAT_UNIT = OAT_RECEIVED_PER_DEGREE;
constexpr int FUEL_PRESSURE_UNIT = 144;
constexpr double MANIFOLD_UNIT = 70.7262;
constexpr double QNH_DEGREES_PER_UNIT = 0.36;
constexpr double RANKINE_ZERO_FAHRENHEIT = 459.67;
constexpr double OIL_PSI_PER_UNIT = 55.0 / 16384;  // exact in binary
constexpr double ALTITUDE_STEP_UNIT = 10.416;
constexpr int ITT_UNIT = 16384;
constexpr double FAHRENHEIT_PER_CELSIUS = 1.8;
constexpr int FAHRENHEIT_FREEZING = 32;

// Split of S over the two position bytes: the high byte is S / 256 truncated, the low byte the
// floating remainder with the sign of S, truncated (so -1 gives high 0, low 0xFF).
GaugePosition split(double s) {
  return {trunc_to_byte(std::fmod(s, 256.0)), trunc_to_byte(s / 256.0)};
}

// The inputs of one conversion in the names the formulas use.
struct Terms {
  double v;        // the working value
  std::int32_t i;  // v rounded to 32 bits
  std::int64_t l;  // v rounded to 64 bits
  float k;
  std::uint8_t cmin, cmax;
  double half;
  std::int16_t smin;
  std::int32_t smax;
};

std::uint8_t curve(PiecewiseCurve c, std::int32_t conversion_input) {
  return piecewise_curve_position(c, conversion_input);
}

// (a - b) / 1.8 or similar, rounded to a signed 16-bit integer; below 0 counts as 0.
std::int16_t non_negative16(double x) {
  const std::int16_t r = low16_signed(round_to_i64(x));
  return r < 0 ? std::int16_t{0} : r;
}

std::uint8_t at_most(std::uint8_t p, std::uint8_t cmax) { return p > cmax ? cmax : p; }

// Gauge 1's split types. The caller has checked `type` is one of them.
GaugePosition convert_split(const ConversionInputs& in, const Terms& t, double& v) {
  switch (static_cast<GaugeType>(in.gauge.type)) {
    case compass_360:
      if (in.gauge2_type != static_cast<std::uint8_t>(compass_360)) v *= 10;
      return split(v);
    case roll_360: {
      std::int32_t r = round_to_i32(t.i * static_cast<double>(ANGLE_TENTHS_FACTOR));
      if (r < 0) r += 3590;  // 3590, not 3600: the dial's own wrap
      v = r;
      return split(v);
    }
    case altitude_qnh:
      v = round_to_i32(t.i * QNH_DEGREES_PER_UNIT);
      return split(v);
    case altitude_steps: {
      const std::int32_t x = std::clamp(t.i, 0, 32767);
      v = static_cast<std::uint16_t>(round_to_i32(x / ALTITUDE_STEP_UNIT));
      if (const std::uint8_t m = in.output2_offset_length; m != 0) v = std::trunc(v * (m / 10.0));
      return split(v);
    }
    case altitude_qnh_signed: {
      const std::int32_t magnitude = std::abs(static_cast<std::int32_t>(t.smin));
      return split(round_to_i32(wrapping_add32(t.i, magnitude) * QNH_DEGREES_PER_UNIT));
    }
    default:  // needle_360 and raw_16_bit: the value as it stands
      return split(v);
  }
}

// Every single-byte conversion. `gauge2` selects the second column where it differs.
std::uint8_t convert_byte(const ConversionInputs& in, const Terms& t, double& v, bool gauge2) {
  switch (static_cast<GaugeType>(in.gauge.type)) {
    case flap_737:
      return curve(PiecewiseCurve::flap_737, t.i);
    case linear:
      switch (in.gauge.offset_length) {
        case 1:
          v = t.i & 0xFF;  // unsigned byte: 0xFF reads 255, unlike every other type
          break;
        case 2:
          v = t.i & 0xFFFF;
          break;
        case 4:
          v = to_single(v);
          break;
        default:
          break;
      }
      v = clamp_upper_first(v, t.smin, t.smax);
      return round_to_byte(per_ratio(v - t.smin, t.k));
    case logarithmic:
      return round_to_byte(v / 12.53 + t.half);
    case ka350_prop_rpm:
      v /= KA350_RPM_UNIT;
      return round_to_byte(per_ratio(v - t.smin, t.k));
    case cabin_altitude:
      return curve(PiecewiseCurve::cabin_altitude, t.i);
    case linear_signed:
      v = per_ratio(v, t.k) + t.half;
      return round_to_byte(v);
    case radiator_temperature: {
      const std::int16_t r = non_negative16(as_double(wrapping_sub64(t.l, RANKINE_FREEZING)) /
                                            RADIATOR_UNIT_1 / RADIATOR_UNIT_2);
      return gauge2 ? static_cast<std::uint8_t>(r) : round_to_byte(per_ratio(r, t.k));
    }
    case fuel_tank:
      return round_to_byte(per_ratio(low16_signed(t.l / FUEL_TANK_UNIT), t.k));
    case altitude_feet:
      return round_to_byte(
          per_ratio(low16_signed(round_to_i64(as_double(t.l) * FEET_PER_UNIT)), t.k));
    case curtiss_compass:
      return round_to_byte(per_ratio(low16_signed(t.l), t.k));
    case airspeed:
      return static_cast<std::uint8_t>(t.l < 2000 ? 0 : (t.l - 2000) / 225 + 175);
    case suction:
      return suction_curve_position(v, in.calibration.suction, t.cmin);
    case oat: {
      const auto q = static_cast<std::int16_t>(low16_signed(t.i) / OAT_UNIT);
      return round_to_byte(per_ratio(clamp16_upper_first(q, t.smin, t.smax), t.k) + t.half);
    }
    case oat_non_linear: {
      const auto q = static_cast<std::int16_t>(low16_signed(in.value_u16) / OAT_UNIT);
      return oat_curve_position(clamp16_upper_first(q, t.smin, t.smax), in.calibration.oat, t.cmin);
    }
    case trim_index: {
      const std::int16_t w = clamp16_lower_first(low16_signed(t.i), t.smin, t.smax);
      return gauge2 ? round_to_byte(per_ratio(w, t.k) + t.half)
                    : round_to_byte(per_ratio(w - t.smin, t.k));
    }
    case fuel_non_linear:
      return fuel_curve_position(t.l, in.sim_battery, in.calibration.fuel, t.cmin);
    case pitch: {
      const std::int32_t r = round_to_i32(t.i * static_cast<double>(ANGLE_DEGREES_FACTOR));
      return round_to_byte(per_ratio(clamp_upper_first(r, t.smin, t.smax), t.k) + t.half);
    }
    case fuel_pressure:
      return round_to_byte(
          per_ratio(clamp_upper_first(t.i / FUEL_PRESSURE_UNIT, t.smin, t.smax), t.k));
    case manifold_pressure:
      return round_to_byte(per_ratio(round_to_i32(t.i / MANIFOLD_UNIT), t.k));
    case vertical_speed: {
      const auto r =
          static_cast<std::int32_t>(static_cast<std::int64_t>(t.i) * VERTICAL_SPEED_FACTOR);
      return round_to_byte(per_ratio(clamp_upper_first(r, t.smin, t.smax), t.k) + t.half);
    }
    case linear_signed_16: {
      const std::int16_t w = clamp16_upper_first(low16_signed(t.i), t.smin, t.smax);
      return round_to_byte(per_ratio(w, t.k) + t.half);
    }
    case rankine_to_fahrenheit: {
      const std::int32_t r =
          clamp_upper_first(round_to_i32(t.i - RANKINE_ZERO_FAHRENHEIT), t.smin, t.smax);
      return round_to_byte(per_ratio(static_cast<double>(r) - t.smin, t.k));
    }
    case oil_pressure: {
      const std::int32_t r = round_to_i32(t.i * OIL_PSI_PER_UNIT);
      return round_to_byte(per_ratio(clamp_upper_first(r, t.smin, t.smax), t.k));
    }
    case roll_90: {
      const std::int32_t r = round_to_i32(t.i * static_cast<double>(ANGLE_DEGREES_FACTOR));
      return round_to_byte(per_ratio(std::clamp(r, -90, 90), t.k) + t.half);
    }
    case bit_0_test:
      return (t.i & 0xFF) != 0 ? 0xFF : 0;
    case glide: {
      // The rest position while no glide slope is received lives in output 2's length byte.
      if (in.glide_flag == 0) return in.output2_offset_length;
      return common_position_step(round_to_byte(per_ratio(v, t.k) + t.half), t.cmin, t.cmax);
    }
    case itt_temperature:
      return round_to_byte(per_ratio(static_cast<std::uint16_t>(t.i / ITT_UNIT), t.k));
    case battery_load:
      v = per_ratio(clamp_lower_first(v, t.smin, t.smax), t.k) + t.half;
      return round_to_byte(v);
    case throttle: {
      const std::int16_t w = clamp16_upper_first(low16_signed(t.i), t.smin, t.smax);
      return round_to_byte(per_ratio(w, t.k));
    }
    case flap_pmdg_737:
      return at_most(curve(PiecewiseCurve::flap_pmdg_737, t.i), t.cmax);
    case fahrenheit_to_celsius: {
      const std::int16_t r = non_negative16(as_double(wrapping_sub64(t.l, FAHRENHEIT_FREEZING)) /
                                            FAHRENHEIT_PER_CELSIUS);
      return at_most(round_to_byte(per_ratio(r, t.k)), t.cmax);
    }
    case rankine_to_celsius: {
      const std::int32_t kelvin_f = round_to_i32(as_double(t.l) - RANKINE_ZERO_FAHRENHEIT);
      const std::int16_t r =
          non_negative16(wrapping_sub32(kelvin_f, FAHRENHEIT_FREEZING) / FAHRENHEIT_PER_CELSIUS);
      return at_most(round_to_byte(per_ratio(r, t.k)), t.cmax);
    }
    case flap_ifly_737:
      return at_most(curve(PiecewiseCurve::flap_ifly_737, t.i), t.cmax);
    default:
      return 0;
  }
}

Terms terms_of(const ConversionInputs& in, double v) {
  const GaugeSettings& g = in.gauge;
  const std::int64_t l = round_to_i64(v);  // its low 32 bits are round_to_i32(v)
  return {v,
          static_cast<std::int32_t>(static_cast<std::uint32_t>(l)),
          l,
          g.ratio,
          g.course_min,
          g.course_max,
          half_course(g.course_min, g.course_max),
          g.sim_min,
          g.sim_max};
}

}  // namespace

std::optional<GaugePosition> convert_gauge1(const ConversionInputs& in, double& working_value) {
  if (gauge_type_info(in.gauge.type) == nullptr) return std::nullopt;
  const Terms t = terms_of(in, working_value);
  if (is_split_type(in.gauge.type)) return convert_split(in, t, working_value);
  return GaugePosition{convert_byte(in, t, working_value, false), 0};
}

LimitUnits limit_units(int type) {
  constexpr double per_tenth = 1 / static_cast<double>(ANGLE_TENTHS_FACTOR);
  constexpr double per_degree = 1 / static_cast<double>(ANGLE_DEGREES_FACTOR);
  switch (static_cast<GaugeType>(type)) {
    case ka350_prop_rpm:
      return {KA350_RPM_UNIT, 0};
    case radiator_temperature:
      return {RADIATOR_UNIT_1 * RADIATOR_UNIT_2, RANKINE_FREEZING};
    case fuel_tank:
      return {FUEL_TANK_UNIT, 0};
    case altitude_feet:
      return {1 / FEET_PER_UNIT, 0};
    case oat:
      return {OAT_UNIT, 0};
    case roll_360:
      return {per_tenth, 0};
    case pitch:
    case roll_90:
      return {per_degree, 0};
    case fuel_pressure:
      return {FUEL_PRESSURE_UNIT, 0};
    case manifold_pressure:
      return {MANIFOLD_UNIT, 0};
    case altitude_qnh:
    case altitude_qnh_signed:
      return {1 / QNH_DEGREES_PER_UNIT, 0};
    case rankine_to_fahrenheit:
      return {1, RANKINE_ZERO_FAHRENHEIT};
    case oil_pressure:
      return {1 / OIL_PSI_PER_UNIT, 0};
    case altitude_steps:
      return {ALTITUDE_STEP_UNIT, 0};
    case itt_temperature:
      return {ITT_UNIT, 0};
    case fahrenheit_to_celsius:
      return {FAHRENHEIT_PER_CELSIUS, FAHRENHEIT_FREEZING};
    case rankine_to_celsius:
      return {FAHRENHEIT_PER_CELSIUS, FAHRENHEIT_FREEZING + RANKINE_ZERO_FAHRENHEIT};
    default:
      return {};
  }
}

std::optional<std::int32_t> fixed_curve_end(int type) {
  switch (static_cast<GaugeType>(type)) {
    case flap_737:
      return piecewise_curve_last_input(PiecewiseCurve::flap_737);
    case cabin_altitude:
      return piecewise_curve_last_input(PiecewiseCurve::cabin_altitude);
    case flap_pmdg_737:
      return piecewise_curve_last_input(PiecewiseCurve::flap_pmdg_737);
    case flap_ifly_737:
      return piecewise_curve_last_input(PiecewiseCurve::flap_ifly_737);
    default:
      return std::nullopt;
  }
}

std::optional<std::uint8_t> convert_gauge2(const ConversionInputs& in, double& working_value) {
  if (!has_gauge2_conversion(in.gauge.type)) return std::nullopt;
  const Terms t = terms_of(in, working_value);
  return convert_byte(in, t, working_value, true);
}

}  // namespace kavri
