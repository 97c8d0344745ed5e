// The names under which the user picks a gauge, output or analog input type in the parameter
// window. Types are stored 1-based: entry i of a list stands for type i + 1.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "config/calibration_tables.h"

namespace kavri {

constexpr int GAUGE_TYPE_COUNT = 40;

// The 40 gauge types as the first gauge's list shows them, and as the second gauge's list
// shows them (which marks the types that have no second-gauge conversion "------").
std::span<const std::string_view> gauge1_type_names();
std::span<const std::string_view> gauge2_type_names();
// The two output types and the three analog input types.
std::span<const std::string_view> output_type_names();
std::span<const std::string_view> analog_type_names();

// The list entry that shows a stored type, or -1 (no entry) for 0 and for types past the end.
int list_index_of_type(int type, int list_size);

// The calibration table of a gauge type: 12 suction, 14 OAT, 18 fuel; none for the others.
std::optional<CalibrationKind> calibration_kind_of_type(int type);

}  // namespace kavri
