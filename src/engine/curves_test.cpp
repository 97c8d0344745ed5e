#include "engine/curves.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/calibrated_curves.h"

namespace kavri {
namespace {

TEST(PiecewiseCurves, SegmentsAndWorkedValue) {
  // 8192 / ((8192 - 6144) * 0.0038 + 35.51) = 189.22.
  EXPECT_EQ(piecewise_curve_position(PiecewiseCurve::flap_737, 8192), 189);
  EXPECT_EQ(piecewise_curve_position(PiecewiseCurve::flap_737, 409), 37);  // 409 / 11.36 + 1
  EXPECT_EQ(piecewise_curve_position(PiecewiseCurve::flap_737, 410), 36);  // next segment
  // The Ifly curve starts each segment one lower: 8192 / (2049 * 0.0037 + 35.1) = 191.93.
  EXPECT_EQ(piecewise_curve_position(PiecewiseCurve::flap_ifly_737, 8192), 192);
  // The cabin altitude's second segment subtracts: 2000 / (38.1 - 475 * 0.0015) = 53.49.
  EXPECT_EQ(piecewise_curve_position(PiecewiseCurve::cabin_altitude, 2000), 53);
  // Negative slopes: 16383 / (65.86 - 1365 * 0.00115) = 254.83.
  EXPECT_EQ(piecewise_curve_position(PiecewiseCurve::flap_pmdg_737, 16383), 255);
}

TEST(PiecewiseCurves, OutsideTheLastSegmentIsZero) {
  for (auto c :
       {PiecewiseCurve::flap_737, PiecewiseCurve::flap_pmdg_737, PiecewiseCurve::flap_ifly_737}) {
    EXPECT_EQ(piecewise_curve_position(c, 16384), 0);
    EXPECT_EQ(piecewise_curve_position(c, -1), 0);
  }
  EXPECT_NE(piecewise_curve_position(PiecewiseCurve::cabin_altitude, 12192), 0);
  EXPECT_EQ(piecewise_curve_position(PiecewiseCurve::cabin_altitude, 12193), 0);
}

TEST(CalibratedCurves, Fuel) {
  const std::array<std::uint8_t, 5> points{20, 70, 120, 170, 220};
  // 60 % is 10 past the 50 % point: 120 + 10 * 50 / 25 - 20.
  EXPECT_EQ(fuel_curve_position(60 * 83886, 1, points, 20), 120);
  EXPECT_EQ(fuel_curve_position(100 * 83886, 1, points, 0), 220);
  EXPECT_EQ(fuel_curve_position(101 * 83886, 1, points, 0), 0);
  // A dead battery shows the empty-tank point whatever the tank holds.
  EXPECT_EQ(fuel_curve_position(60 * 83886, 0, points, 0), 20);
  // A drop of 10 reads as a step of 246: 100 + 10 * 246 / 25 = 198.4.
  EXPECT_EQ(fuel_curve_position(10 * 83886, 1, {100, 90, 80, 70, 60}, 0), 198);
}

TEST(CalibratedCurves, OutsideAirTemperature) {
  const std::array<std::uint8_t, 7> points{10, 30, 60, 100, 140, 170, 190};
  EXPECT_EQ(oat_curve_position(0, points, 10), 90);  // the 0-20 segment: p3 - cmin
  EXPECT_EQ(oat_curve_position(-45, points, 10), 10);
  EXPECT_EQ(oat_curve_position(10, points, 10), 110);
  EXPECT_EQ(oat_curve_position(50, points, 0), 190);
  EXPECT_EQ(oat_curve_position(51, points, 0), 0);
  EXPECT_EQ(oat_curve_position(-51, points, 0), 0);
  // Decreasing from 100 to 80: 100 + 10 * 236 / 20.
  EXPECT_EQ(oat_curve_position(10, {10, 30, 60, 100, 80, 170, 190}, 0), 218);
}

TEST(CalibratedCurves, Suction) {
  const std::array<std::uint8_t, 6> points{20, 60, 100, 140, 180, 220};
  EXPECT_EQ(suction_curve_position(0, points, 0), 20);
  EXPECT_EQ(suction_curve_position(1.5, points, 0), 40);  // straight from p0 to p1
  EXPECT_EQ(suction_curve_position(3, points, 0), 60);
  EXPECT_EQ(suction_curve_position(3.5, points, 20), 60);
  EXPECT_EQ(suction_curve_position(7, points, 0), 220);
  // Differences are signed here: 100 down to 60 is a drop of 40, not a step of 216.
  EXPECT_EQ(suction_curve_position(3.5, {20, 100, 60, 140, 180, 220}, 0), 80);
  for (double x : {-0.1, 7.01, double{NAN}, double{INFINITY}, -double{INFINITY}}) {
    EXPECT_EQ(suction_curve_position(x, points, 0), 0) << x;
  }
}

}  // namespace
}  // namespace kavri
