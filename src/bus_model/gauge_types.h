// The one table of the 40 gauge types: the names under which the user picks a type in the
// parameter window's two lists, how its position travels on the bus, the calibration table it
// reads and the inputs its conversions take. Types are stored 1-based: entry i of a list stands
// for type i + 1. Also the names of the output and analog input types.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "config/calibration_tables.h"

namespace kavri {

constexpr int GAUGE_TYPE_COUNT = 40;

// The conversions' cases, by the stored type number.
enum class GaugeType : std::uint8_t {
  flap_737 = 1,
  linear = 2,
  logarithmic = 3,
  ka350_prop_rpm = 4,
  cabin_altitude = 5,
  linear_signed = 6,
  radiator_temperature = 7,
  fuel_tank = 8,
  altitude_feet = 9,
  curtiss_compass = 10,
  airspeed = 11,
  suction = 12,
  oat = 13,
  oat_non_linear = 14,
  trim_index = 15,
  needle_360 = 16,
  compass_360 = 17,  // on gauge 2: the modifier that switches gauge 1's x 10 off
  fuel_non_linear = 18,
  roll_360 = 19,
  pitch = 20,
  fuel_pressure = 21,
  manifold_pressure = 22,
  vertical_speed = 23,
  altitude_qnh = 24,
  linear_signed_16 = 25,
  rankine_to_fahrenheit = 26,
  oil_pressure = 27,
  roll_90 = 28,
  bit_0_test = 29,
  glide = 30,
  raw_16_bit = 31,
  altitude_steps = 32,
  itt_temperature = 33,
  battery_load = 34,
  altitude_qnh_signed = 35,
  throttle = 36,
  flap_pmdg_737 = 37,
  fahrenheit_to_celsius = 38,
  rankine_to_celsius = 39,
  flap_ifly_737 = 40,
};

// How a gauge-1 position travels: one byte with CMD_SET_POSITION_1, or split, its low byte with
// CMD_SET_POSITION_1 and its high byte with CMD_SET_POSITION_2. The needles that turn a full
// circle are positioned in tenths of a degree; the raw types carry a 16-bit value.
enum class PositionWidth : std::uint8_t { byte, tenths_of_degree, sixteen_bit };

struct GaugeTypeInfo {
  GaugeType type;
  std::string_view gauge1_name;  // its entry in the first gauge's list
  // Its entry in the second gauge's list when it differs (empty: the same), which marks
  // "------" the types without a second-gauge conversion.
  std::string_view gauge2_name;
  PositionWidth position;
  std::optional<CalibrationKind> calibration;  // the calibration table it reads
  bool reads_glide_flag;       // its conversion reads the simulator's glide-slope flag
  bool has_gauge2_conversion;  // the second gauge can show it
};

// All 40, in type order (entry i is type i + 1).
std::span<const GaugeTypeInfo> gauge_type_infos();
// The type's row; null for a type outside 1-40.
const GaugeTypeInfo* gauge_type_info(int type);

// The facts of the table by type number; false (none) for a type outside 1-40.
bool is_split_type(int type);
bool is_360_degree_type(int type);
bool is_16_bit_type(int type);
bool reads_glide_flag(int type);
bool has_gauge2_conversion(int type);
std::optional<CalibrationKind> calibration_kind_of_type(int type);

// The 40 gauge types as the first gauge's list shows them, and as the second gauge's list
// shows them.
std::span<const std::string_view> gauge1_type_names();
std::span<const std::string_view> gauge2_type_names();
// The two output types and the three analog input types.
std::span<const std::string_view> output_type_names();
std::span<const std::string_view> analog_type_names();

// The list entry that shows a stored type, or -1 (no entry) for 0 and for types past the end.
int list_index_of_type(int type, int list_size);

}  // namespace kavri
