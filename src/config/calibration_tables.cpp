#include "config/calibration_tables.h"

#include <algorithm>
#include <array>

namespace kavri {

namespace {

constexpr std::array<std::string_view, SUCTION_POINTS> SUCTION_KEYS = {"Pos0A", "Pos3A", "Pos4A",
                                                                       "Pos5A", "Pos6A", "Pos7A"};
constexpr std::array<std::string_view, OAT_POINTS> OAT_KEYS = {
    "Pos-50A", "Pos-40A", "Pos-20A", "Pos0A", "Pos20A", "Pos40A", "Pos50A"};
constexpr std::array<std::string_view, FUEL_POINTS> FUEL_KEYS = {"Pos0A", "Pos25A", "Pos50A",
                                                                 "Pos75A", "Pos100A"};

// Reads the points of one gauge of one slot from the group of `kind`, selected in `prefs`.
template <int Points>
void load_points(const Prefs& prefs, CalibrationKind kind, CalibrationSlot<Points>& slot,
                 const CalibrationGauge& g) {
  for (int k = 0; k < Points; ++k) {
    const std::int32_t value = prefs.read_int(calibration_key(kind, k, g.address_text, g.gauge), 0);
    slot[static_cast<std::size_t>(2 * k + g.gauge)] = static_cast<std::uint8_t>(value);
  }
}

bool in_tables(const CalibrationGauge& g) {
  return g.module_index >= 0 && g.module_index < CALIBRATION_SLOTS && g.gauge >= 0 && g.gauge <= 1;
}

}  // namespace

std::string_view calibration_group(CalibrationKind kind) {
  switch (kind) {
    case CalibrationKind::suction:
      return "suction";
    case CalibrationKind::oat:
      return "OAT_NL";
    case CalibrationKind::fuel:
      return "Essence";
  }
  return {};
}

std::span<const std::string_view> calibration_point_keys(CalibrationKind kind) {
  switch (kind) {
    case CalibrationKind::suction:
      return SUCTION_KEYS;
    case CalibrationKind::oat:
      return OAT_KEYS;
    case CalibrationKind::fuel:
      return FUEL_KEYS;
  }
  return {};
}

std::string calibration_key(CalibrationKind kind, int point, std::string_view address_text,
                            int gauge) {
  const std::span<const std::string_view> keys = calibration_point_keys(kind);
  if (point < 0 || static_cast<std::size_t>(point) >= keys.size()) return {};
  std::string key(keys[static_cast<std::size_t>(point)]);
  key += address_text;
  key += 'S';
  key += std::to_string(gauge);
  return key;
}

namespace {

// Reads the points of every gauge of `gauges` (those inside the tables) from the open file.
void read_points(Prefs& prefs, CalibrationTables& tables,
                 std::span<const CalibrationGauge> gauges) {
  for (CalibrationKind kind :
       {CalibrationKind::suction, CalibrationKind::oat, CalibrationKind::fuel}) {
    prefs.select_group(calibration_group(kind));
    for (const CalibrationGauge& g : gauges) {
      if (!in_tables(g)) continue;
      const auto slot = static_cast<std::size_t>(g.module_index);
      switch (kind) {
        case CalibrationKind::suction:
          load_points<SUCTION_POINTS>(prefs, kind, tables.suction_calibration[slot], g);
          break;
        case CalibrationKind::oat:
          load_points<OAT_POINTS>(prefs, kind, tables.oat_calibration[slot], g);
          break;
        case CalibrationKind::fuel:
          load_points<FUEL_POINTS>(prefs, kind, tables.fuel_calibration[slot], g);
          break;
      }
    }
  }
}

}  // namespace

PrefsOpening load_calibrations(CalibrationTables& tables, std::span<const CalibrationGauge> gauges,
                               const std::string& path) {
  const bool any = std::any_of(gauges.begin(), gauges.end(), in_tables);
  if (!any) return PrefsOpening::opened;  // nothing to load: the file is not even looked at
  Prefs prefs;
  // When the file cannot be read, created or found, every read below gives 0.
  const PrefsOpening opening = prefs.open_or_create(path);
  read_points(prefs, tables, gauges);
  prefs.close();
  return opening;
}

FileProblem read_calibrations(CalibrationTables& tables, std::span<const CalibrationGauge> gauges,
                              const std::string& path) {
  Prefs prefs;
  if (!prefs.open(path)) return prefs.problem();
  read_points(prefs, tables, gauges);
  prefs.close();
  return FileProblem::none;
}

PrefsOpening load_calibration(CalibrationTables& tables, int module_index,
                              std::string_view address_text, int gauge, const std::string& path) {
  const CalibrationGauge g{module_index, std::string(address_text), gauge};
  return load_calibrations(tables, std::span(&g, 1), path);
}

}  // namespace kavri
