#include "engine/gauge_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "bus_model/module_params.h"
#include "engine/gauge_calculator.h"

namespace kavri {
namespace {

// Gauge 1 of a module at course 10-200 over simulator limits 0-100.
ModuleRecord gauge1_of_type(int type, std::uint8_t offset_length) {
  ModuleRecord record{};
  GaugeRecord& gauge = record.gauges[0];
  gauge.type = static_cast<std::uint8_t>(type);
  gauge.offset = 0x0BC0;
  gauge.offset_length = offset_length;
  gauge.course_min = 10;
  gauge.course_max = 200;
  gauge.sim_min = 0;
  gauge.sim_max = 100;
  compute_ratio(record);
  return record;
}

// The curve runs over the gauge's limits as the conversion reads them: its first value shows
// the course minimum and its last the course maximum. A curve drawn in other units than those
// the conversion divides by starts or ends elsewhere on the course.
TEST(GaugeCurve, RunsOverTheLimitsTheConversionReads) {
  struct Case {
    int type;
    std::uint8_t offset_length;
  };
  for (const Case c : {Case{4, 8}, Case{7, 4}, Case{8, 4}, Case{9, 8}, Case{21, 4}, Case{22, 4},
                       Case{26, 4}, Case{27, 4}, Case{33, 4}, Case{38, 4}, Case{39, 4}}) {
    const CalibrationTables tables{};
    const GaugeCurve curve =
        trace_gauge_curve(gauge1_of_type(c.type, c.offset_length), tables, 1, 0, 0);
    ASSERT_FALSE(curve.points.empty()) << "type " << c.type;
    EXPECT_NEAR(curve.points.front().position, 10, 1) << "type " << c.type;
    EXPECT_NEAR(curve.points.back().position, 200, 1) << "type " << c.type;
  }
}

// A calibrated type's marks sit where the calculator shows each calibration point: the
// simulator value of a mark shows the needle position set for that point.
TEST(GaugeCurve, MarksCalibrationPointsWhereTheCalculatorShowsThem) {
  struct Case {
    int type;
    std::uint8_t offset_length;
    std::size_t marks;
  };
  CalibrationTables tables{};
  const std::uint8_t set[] = {20, 40, 60, 100, 150, 200, 240};
  for (std::size_t k = 0; k < SUCTION_POINTS; ++k) tables.suction_calibration[0][2 * k] = set[k];
  for (std::size_t k = 0; k < OAT_POINTS; ++k) tables.oat_calibration[0][2 * k] = set[k];
  for (std::size_t k = 0; k < FUEL_POINTS; ++k) tables.fuel_calibration[0][2 * k] = set[k];
  for (const Case c :
       {Case{12, 8, SUCTION_POINTS}, Case{14, 2, OAT_POINTS}, Case{18, 4, FUEL_POINTS}}) {
    ModuleRecord record = gauge1_of_type(c.type, c.offset_length);
    record.gauges[0].course_min = 0;
    record.gauges[0].course_max = 255;
    record.gauges[0].sim_min = -50;  // the outside-air temperature is clamped to the limits
    record.gauges[0].sim_max = 50;
    const GaugeCurve curve = trace_gauge_curve(record, tables, 1, 0, 1);
    ASSERT_EQ(curve.marks.size(), c.marks) << "type " << c.type;
    EXPECT_EQ(curve.from, curve.marks.front().value) << "type " << c.type;
    EXPECT_EQ(curve.to, curve.marks.back().value) << "type " << c.type;
    for (const CalibrationMark& mark : curve.marks) {
      GaugeCalculator calculator(record, tables, 1, 0, 1);
      const std::string text = c.offset_length == 8 ? std::to_string(mark.value)
                                                    : std::to_string(std::llround(mark.value));
      const double value = parse_simulator_value(text, c.offset_length).value();
      EXPECT_EQ(calculator.shown_after_pass(value).low, mark.position)
          << "type " << c.type << " at " << mark.dial;
    }
  }
}

}  // namespace
}  // namespace kavri
