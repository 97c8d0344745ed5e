// The calibration points of the three non-linear gauge types (suction, OAT, fuel): one slot
// per module-table index, and in each slot byte 2k + g holds point k of gauge g (0 or 1), a
// raw needle position. Each point is one byte stored in one atomic store, so the transfer
// thread may read a slot while a calibration window changes it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/relaxed.h"
#include "config/prefs.h"

namespace kavri {

constexpr int CALIBRATION_SLOTS = 51;  // one per module-table slot
constexpr int SUCTION_POINTS = 6;
constexpr int OAT_POINTS = 7;
constexpr int FUEL_POINTS = 5;

template <int Points>
using CalibrationSlot = std::array<Relaxed<std::uint8_t>, 2 * Points>;
template <int Points>
using CalibrationTable = std::array<CalibrationSlot<Points>, CALIBRATION_SLOTS>;

struct CalibrationTables {
  CalibrationTable<SUCTION_POINTS> suction_calibration{};
  CalibrationTable<OAT_POINTS> oat_calibration{};
  CalibrationTable<FUEL_POINTS> fuel_calibration{};
};

enum class CalibrationKind { suction, oat, fuel };

// The file group ("suction", "OAT_NL", "Essence") and the key text of each point k, in point
// order (suction: "Pos0A" ... "Pos7A"; OAT: "Pos-50A" ... "Pos50A"; fuel: "Pos0A" ... "Pos100A").
std::string_view calibration_group(CalibrationKind kind);
std::span<const std::string_view> calibration_point_keys(CalibrationKind kind);

// The key of point k of gauge g of the module at `address_text`: "Pos0A" + "12" + "S" + "0".
// A point outside the kind's points has no key: "".
std::string calibration_key(CalibrationKind kind, int point, std::string_view address_text,
                            int gauge);

inline constexpr const char* CALIBRATION_FILE = "Calibrage.ini";

// One gauge of one module: its slot in the tables, its bus address as decimal text (the keys
// name the module by address) and the gauge, 0 or 1.
struct CalibrationGauge {
  int module_index = 0;
  std::string address_text;
  int gauge = 0;
};

// Loads the points of every gauge of `gauges` from one reading of the calibration file, all
// three tables. The file is created empty when nothing is at its path; an existing file that
// cannot be read is left untouched. A missing key, a non-number, and every point when the file
// cannot be read, read 0; a value keeps its low 8 bits. A gauge whose slot or gauge number is
// outside the tables changes nothing. Tells what was found at the path.
PrefsOpening load_calibrations(CalibrationTables& tables, std::span<const CalibrationGauge> gauges,
                               const std::string& path = CALIBRATION_FILE);

// The same from an existing file only, for a reader that must not create one: nothing is
// changed when the file cannot be read, and the problem tells why (none when it was read).
FileProblem read_calibrations(CalibrationTables& tables, std::span<const CalibrationGauge> gauges,
                              const std::string& path);

// load_calibrations of a single gauge.
PrefsOpening load_calibration(CalibrationTables& tables, int module_index,
                              std::string_view address_text, int gauge,
                              const std::string& path = CALIBRATION_FILE);

}  // namespace kavri
