#include "engine/conversions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kavri {
namespace {

ConversionInputs gauge(std::uint8_t type, float ratio = 1, std::uint8_t cmin = 0,
                       std::uint8_t cmax = 255, std::int16_t smin = -32768,
                       std::int32_t smax = 32767, std::uint8_t length = 4) {
  ConversionInputs in;
  in.gauge = {type, ratio, cmin, cmax, smin, smax, length};
  return in;
}

std::uint8_t byte1(const ConversionInputs& in, double v) { return convert_gauge1(in, v)->low; }
std::uint8_t byte2(const ConversionInputs& in, double v) { return *convert_gauge2(in, v); }

// The gauge-type table and the conversions tell the same story of each type: a split type's
// position has a high byte, a type that reads a calibration table or the glide flag moves with
// it, and gauge 2 converts exactly the types that its list does not mark "------" (17 there is
// a modifier of gauge 1).
TEST(Conversions, FollowTheGaugeTypeTable) {
  GaugeCalibration raised;
  raised.suction.fill(200);
  raised.oat.fill(200);
  raised.fuel.fill(200);
  for (const GaugeTypeInfo& info : gauge_type_infos()) {
    const auto type = static_cast<std::uint8_t>(info.type);
    SCOPED_TRACE(static_cast<int>(type));
    ConversionInputs in = gauge(type, 0.5f, 10, 200, -100, 30000);
    in.output2_offset_length = 77;
    in.sim_battery = 30000;
    const auto position = [](const ConversionInputs& inputs, double v) {
      return *convert_gauge1(inputs, v);
    };
    ConversionInputs calibrated = in, gliding = in;
    calibrated.calibration = raised;
    gliding.glide_flag = 1;
    bool high_byte = false, calibration_moves = false, glide_moves = false;
    for (double v : {1e6, 1073741824.0, 500.0, -3000.0, 5.0}) {
      high_byte |= position(in, v).high != 0;
      calibration_moves |= position(calibrated, v).low != position(in, v).low;
      glide_moves |= position(gliding, v).low != position(in, v).low;
    }
    EXPECT_EQ(high_byte, info.position != PositionWidth::byte);
    EXPECT_EQ(calibration_moves, info.calibration.has_value());
    EXPECT_EQ(glide_moves, info.reads_glide_flag);
    double v = 500;
    EXPECT_EQ(convert_gauge2(in, v).has_value(), info.has_gauge2_conversion);
    const std::string_view listed = gauge2_type_names()[type - 1u];
    EXPECT_EQ(listed.find("------") == std::string_view::npos,
              info.has_gauge2_conversion || info.type == GaugeType::compass_360);
  }
}

TEST(Conversions, WorkedValues) {
  // Type 13: 6400 is 25 degrees; 25 / 0.5 + half of 0-200.
  EXPECT_EQ(byte1(gauge(13, 0.5f, 0, 200, -50, 50, 2), 6400), 150);
  // Type 19: -2^30 is -90 degrees, -900 tenths, shown as 2690 = 10 * 256 + 130.
  double v = -1073741824.0;
  const auto roll = convert_gauge1(gauge(19), v);
  EXPECT_EQ(roll->high, 10);
  EXPECT_EQ(roll->low, 130);
  EXPECT_EQ(v, 2690);  // the working value keeps the intermediate result
  EXPECT_EQ(byte1(gauge(11), 3125), 180);
}

TEST(Conversions, OneByteValuesAreUnsignedOnlyForTypeTwo) {
  // 0xFF received in a 1-byte area loads as -1: type 2 reads it as 255, type 10 as -1.
  const ConversionInputs linear = gauge(2, 5, 0, 255, 0, 300, 1);
  EXPECT_EQ(byte1(linear, -1), 51);
  EXPECT_EQ(byte1(gauge(10, 5), -1), 0);  // round(-0.2)
  // A 2-byte value is taken modulo 65536; a 4-byte one rounded to single precision first.
  EXPECT_EQ(byte1(gauge(2, 256, 0, 255, 0, 32767, 2), 65535 + 65536.0), 128);  // clamped
  EXPECT_EQ(byte1(gauge(2, 1, 0, 255, 0, 1 << 30, 4), 16777217.0), 0);         // 2^24 as a float
  EXPECT_EQ(byte1(gauge(2, 1, 0, 255, 0, 1 << 30, 8), 16777217.0), 1);
  EXPECT_EQ(byte1(gauge(2, 1, 0, 255, 0, 32767, 8), 100.5), 100);  // half to even
}

TEST(Conversions, NegativeRollAnglesWrapAt3590Tenths) {
  double v = -11930465;  // round(-1 degree in 2^32 units): -10 tenths
  const auto roll = convert_gauge1(gauge(19), v);
  EXPECT_EQ(v, 3580);
  EXPECT_EQ(roll->high, 13);
  EXPECT_EQ(roll->low, 252);
}

TEST(Conversions, SplitKeepsTheSignOfTheRemainder) {
  double v = -1;
  const auto pos = convert_gauge1(gauge(16), v);
  EXPECT_EQ(pos->high, 0);
  EXPECT_EQ(pos->low, 0xFF);
  v = 0x0205;
  EXPECT_EQ(convert_gauge1(gauge(31), v)->high, 2);
}

TEST(Conversions, TypeSeventeenScalesUnlessGaugeTwoIsItsModifier) {
  ConversionInputs compass = gauge(17);
  double v = 30;
  EXPECT_EQ(convert_gauge1(compass, v)->low, 300 % 256);
  compass.gauge2_type = 17;
  v = 30;
  EXPECT_EQ(convert_gauge1(compass, v)->low, 30);
  EXPECT_FALSE(convert_gauge2(gauge(17), v));  // the modifier drives no gauge 2
}

TEST(Conversions, TemperaturesNeverGoBelowZeroBeforeTheRatio) {
  for (int type : {7, 38, 39}) {
    EXPECT_EQ(byte1(gauge(static_cast<std::uint8_t>(type), -1), -1000), 0) << type;
  }
  // Type 7 on gauge 2 takes no ratio: (1000 - 491) / 1.85 / 0.39 = 705.47 -> 705, low byte.
  EXPECT_EQ(byte2(gauge(7, 100), 1000), 705 % 256);
  EXPECT_EQ(byte1(gauge(7, 100), 1000), 7);
  // 212 F is 100 C; the result is held under the course maximum.
  EXPECT_EQ(byte1(gauge(38, 1, 0, 90), 212), 90);
  EXPECT_EQ(byte1(gauge(39, 1), 671.67), 100);  // 671.67 R = 212 F
}

TEST(Conversions, ClampOrderDecidesCrossedLimits) {
  // Upper bound first: a minimum above the maximum wins (type 21 on 144ths).
  EXPECT_EQ(byte1(gauge(21, 1, 0, 255, 100, 50), 0), 100);
  // Lower bound first: the maximum wins (type 34).
  EXPECT_EQ(byte1(gauge(34, 1, 0, 0, 100, 50), 0), 50);
  // 16-bit clamp: the maximum is compared on 32 bits and stored as its low 16 bits.
  EXPECT_EQ(byte1(gauge(36, 1, 0, 0, -32768, 65536 + 7), 20000), 20000 % 256);
  EXPECT_EQ(byte1(gauge(36, 1, 0, 0, -32768, 10), 20000), 10);
  // 0 > -70000, which stored on 16 bits is -4464; -4464 keeps its low byte, 144.
  EXPECT_EQ(byte1(gauge(36, 1, 0, 0, -32768, -70000), 0), 144);
}

TEST(Conversions, ParameterBytesOfOutputTwo) {
  ConversionInputs glide = gauge(30, 1, 20, 200);
  glide.output2_offset_length = 77;  // the rest position without a glide slope
  EXPECT_EQ(byte1(glide, 5000), 77);
  glide.glide_flag = 1;
  // 10 + half (90), plus the course minimum once here; the common step adds it again.
  EXPECT_EQ(byte1(glide, 10), 120);

  ConversionInputs altitude = gauge(32);
  double v = 10416;  // 1000 steps
  EXPECT_EQ(convert_gauge1(altitude, v)->high, 1000 / 256);
  altitude.output2_offset_length = 10;  // factor 1
  v = 10416;
  convert_gauge1(altitude, v);
  EXPECT_EQ(v, 1000);
  altitude.output2_offset_length = 25;  // factor 2.5
  v = 10416;
  convert_gauge1(altitude, v);
  EXPECT_EQ(v, 2500);
}

TEST(Conversions, SmallerChecks) {
  EXPECT_EQ(byte1(gauge(29), 0x100), 0);
  EXPECT_EQ(byte1(gauge(29), 0x101), 0xFF);
  double v = -500;
  const auto qnh = convert_gauge1(gauge(35, 1, 0, 255, -500), v);
  EXPECT_EQ(qnh->low, 0);
  EXPECT_EQ(qnh->high, 0);
  EXPECT_EQ(byte1(gauge(8, 1), 83840.0 * 3), 3);
  EXPECT_EQ(byte1(gauge(11), 1999), 0);
}

TEST(Conversions, RatioZeroCarriesNoScale) {
  // Course 40-40: whatever the value, the gauge rests where the common step puts it.
  EXPECT_EQ(byte1(gauge(2, 0, 40, 40), 1234), 0);
  EXPECT_EQ(byte1(gauge(6, 0, 40, 40), 1234), 0);
  EXPECT_EQ(common_position_step(byte1(gauge(13, 0, 40, 40), 1e9), 40, 40), 40);
}

TEST(Conversions, GaugeTwoColumn) {
  // 10, 11 and 28 use the gauge-1 formula with the gauge-2 inputs.
  EXPECT_EQ(byte2(gauge(11), 3125), 180);
  EXPECT_EQ(byte2(gauge(10, 2), 100), 50);
  EXPECT_EQ(byte2(gauge(28, 1, 0, 100), 1073741824.0), 90 + 50);  // clamped to 90 degrees
  // Type 15 differs: no minimum subtracted, half the course added.
  EXPECT_EQ(byte1(gauge(15, 1, 0, 100, -10, 100), 20), 30);
  EXPECT_EQ(byte2(gauge(15, 1, 0, 100, -10, 100), 20), 70);
  double v = 1;
  for (int type : {16, 17, 19, 24, 30, 31, 32, 35, 0, 41}) {
    EXPECT_FALSE(convert_gauge2(gauge(static_cast<std::uint8_t>(type)), v)) << type;
  }
  EXPECT_FALSE(convert_gauge1(gauge(0), v));
  EXPECT_FALSE(convert_gauge1(gauge(41), v));
}

TEST(CommonPositionStep, WrapsThenClampsUpperFirst) {
  EXPECT_EQ(common_position_step(250, 10, 200), 10);  // 260 wraps to 4, raised to 10
  EXPECT_EQ(common_position_step(195, 10, 200), 200);
  EXPECT_EQ(common_position_step(0, 10, 200), 10);
  EXPECT_EQ(common_position_step(100, 150, 50), 150);  // crossed course: the minimum wins
}

}  // namespace
}  // namespace kavri
