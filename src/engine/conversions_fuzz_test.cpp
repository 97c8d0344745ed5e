// Every conversion over values far outside any gauge's range. Run under the undefined-behaviour
// sanitizer (float-cast-overflow included), this proves that no input reaches an undefined
// float-to-integer conversion or signed overflow; the checks below hold for any input.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

#include "base/rounding.h"
#include "engine/calibrated_curves.h"
#include "engine/conversions.h"
#include "engine/curves.h"

namespace kavri {
namespace {

class WideValues {
 public:
  explicit WideValues(unsigned seed) : random_(seed) {}

  double value() {
    static constexpr double kSpecial[] = {
        0.0,     -0.0,     0.5,       -0.5,   2147483647.5, -2147483648.5, 4294967296.0, 9.3e18,
        -9.3e18, 1.8e19,   1e300,     -1e300, DBL_MAX,      -DBL_MAX,      DBL_MIN,      3.5e38,
        -3.5e38, INFINITY, -INFINITY, NAN};
    if (pick(4) == 0) return kSpecial[pick(std::size(kSpecial))];
    // Any magnitude from 2^-20 to 2^80, either sign.
    const double magnitude = std::ldexp(unit(random_), static_cast<int>(pick(100)) - 20);
    return pick(2) == 0 ? magnitude : -magnitude;
  }

  float ratio() {
    static constexpr float kSpecial[] = {0.0f, -0.0f, 1e-30f, -1e-30f, FLT_MAX, INFINITY, NAN};
    if (pick(3) == 0) return kSpecial[pick(std::size(kSpecial))];
    return static_cast<float>(value());
  }

  template <typename T>
  T any() {
    return static_cast<T>(random_());
  }

  std::size_t pick(std::size_t n) { return static_cast<std::size_t>(random_() % n); }

 private:
  std::mt19937_64 random_;
  std::uniform_real_distribution<double> unit{1.0, 2.0};
};

ConversionInputs random_inputs(WideValues& w, std::uint8_t type) {
  ConversionInputs in;
  in.gauge = {type,
              w.ratio(),
              w.any<std::uint8_t>(),
              w.any<std::uint8_t>(),
              w.any<std::int16_t>(),
              w.any<std::int32_t>(),
              static_cast<std::uint8_t>(std::array{0, 1, 2, 3, 4, 8, 255}[w.pick(7)])};
  in.value_u16 = w.any<std::uint16_t>();
  in.gauge2_type = w.pick(2) == 0 ? 17 : w.any<std::uint8_t>();
  in.output2_offset_length = w.any<std::uint8_t>();
  in.glide_flag = static_cast<std::uint8_t>(w.pick(2));
  in.sim_battery = static_cast<std::int32_t>(w.pick(2)) * w.any<std::uint16_t>();
  for (auto& p : in.calibration.suction) p = w.any<std::uint8_t>();
  for (auto& p : in.calibration.oat) p = w.any<std::uint8_t>();
  for (auto& p : in.calibration.fuel) p = w.any<std::uint8_t>();
  return in;
}

TEST(ConversionsFuzz, EveryTypeOverWideInputs) {
  WideValues w(20261207);
  for (int round = 0; round < 400; ++round) {
    for (int type = 0; type <= 41; ++type) {
      const ConversionInputs in = random_inputs(w, static_cast<std::uint8_t>(type));
      const double v = w.value();
      double v1 = v, v1_again = v, v2 = v;
      const auto p1 = convert_gauge1(in, v1);
      const auto p1_again = convert_gauge1(in, v1_again);
      const auto p2 = convert_gauge2(in, v2);
      ASSERT_EQ(p1.has_value(), type >= 1 && type <= 40);
      ASSERT_EQ(p2.has_value(), has_gauge2_conversion(type));
      if (!p1) continue;
      // Same inputs, same position, NaN working values included.
      ASSERT_EQ(p1->low, p1_again->low);
      ASSERT_EQ(p1->high, p1_again->high);
      if (type == 29) {
        ASSERT_TRUE(p1->low == 0 || p1->low == 0xFF);
      }
      if (type >= 37) {
        ASSERT_LE(p1->low, in.gauge.course_max) << type;
        if (p2) {
          ASSERT_LE(*p2, in.gauge.course_max) << type;
        }
      }
      const std::uint8_t cmin = in.gauge.course_min, cmax = in.gauge.course_max;
      const std::uint8_t stepped = common_position_step(p1->low, cmin, cmax);
      if (cmin <= cmax) {
        ASSERT_GE(stepped, cmin);
        ASSERT_LE(stepped, cmax);
      } else {
        ASSERT_EQ(stepped, cmin);
      }
    }
  }
}

TEST(ConversionsFuzz, CurvesOverWideInputs) {
  WideValues w(7);
  for (int round = 0; round < 2000; ++round) {
    const auto i = w.any<std::int32_t>();
    for (auto c : {PiecewiseCurve::flap_737, PiecewiseCurve::cabin_altitude,
                   PiecewiseCurve::flap_pmdg_737, PiecewiseCurve::flap_ifly_737}) {
      const std::uint8_t p = piecewise_curve_position(c, i);
      if (i < 0 || i > 16383) {
        ASSERT_EQ(p, 0);
      }
    }
    std::array<std::uint8_t, 6> suction{};
    for (auto& p : suction) p = w.any<std::uint8_t>();
    const double x = w.value();
    const std::uint8_t s = suction_curve_position(x, suction, w.any<std::uint8_t>());
    if (!(x >= 0 && x <= 7)) {
      ASSERT_EQ(s, 0);
    }
    fuel_curve_position(w.any<std::int64_t>(), w.any<std::int32_t>(), {1, 2, 3, 4, 5},
                        w.any<std::uint8_t>());
  }
}

TEST(SinglePrecision, StoresLikeTheFloatingPointUnit) {
  EXPECT_EQ(to_single(16777217.0), 16777216.0f);
  EXPECT_EQ(to_single(1e300), INFINITY);
  EXPECT_EQ(to_single(-1e300), -INFINITY);
  // Between the largest float and half an ulp above it the value rounds down to it.
  EXPECT_EQ(to_single(static_cast<double>(FLT_MAX) * (1 + 1e-9)), FLT_MAX);
  EXPECT_TRUE(std::isnan(to_single(NAN)));
}

}  // namespace
}  // namespace kavri
