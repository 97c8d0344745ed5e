// A gauge's curve: what the gauge calculator shows over the simulator values of the gauge's
// range, with what a picture of it marks (course limits, inversion, calibration points). The
// picture of kavri-gauge --plot is drawn from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bus_model/module_record.h"
#include "config/calibration_tables.h"

namespace kavri {

// One simulator value, typed as kavri-gauge reads it, and what the calculator then shows: the
// position byte, or for a split type the 16-bit position (low + 256 x high).
struct CurvePoint {
  std::string value_text;
  double value = 0;
  int position = 0;
  std::string shown_text;  // as kavri-gauge prints it
};

// A calibration point: its place on the dial, in the dial's units, the simulator value that
// shows it and the needle position the user set for it.
struct CalibrationMark {
  double dial = 0;
  double value = 0;
  int position = 0;
};

struct GaugeCurve {
  int gauge = 1;
  std::string_view type_name;  // as the parameter window's list shows it
  double from = 0;             // the simulator values shown, from ... to
  double to = 0;
  int position_max = 255;  // 65535 for a split type
  int course_min = 0;
  int course_max = 0;
  bool inverted = false;
  std::string_view dial_unit;  // of a calibrated type's points ("%", "°C", "inHg"), else empty
  std::vector<CalibrationMark> marks;
  std::vector<CurvePoint> points;  // in increasing value order
};

// The curve of gauge `gauge` (1 or 2) of `record`, calibrated with slot 0 of `tables`, passing
// `samples` values through a GaugeCalculator. The values run over the type's own range for the
// curve and calibrated types, else over the gauge's simulator limits read in the units that the
// type receives. The gauge must be driven (GaugeCalculator::undriven_reason() empty).
GaugeCurve trace_gauge_curve(const ModuleRecord& record, const CalibrationTables& tables, int gauge,
                             std::uint8_t glide_flag, std::uint16_t battery, int samples = 256);

}  // namespace kavri
