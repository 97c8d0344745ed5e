#include "config/calibration_tables.h"

#include <array>

#include "config/prefs.h"

namespace kavri {

namespace {

constexpr std::array<std::string_view, SUCTION_POINTS> SUCTION_KEYS = {"Pos0A", "Pos3A", "Pos4A",
                                                                       "Pos5A", "Pos6A", "Pos7A"};
constexpr std::array<std::string_view, OAT_POINTS> OAT_KEYS = {
    "Pos-50A", "Pos-40A", "Pos-20A", "Pos0A", "Pos20A", "Pos40A", "Pos50A"};
constexpr std::array<std::string_view, FUEL_POINTS> FUEL_KEYS = {"Pos0A", "Pos25A", "Pos50A",
                                                                 "Pos75A", "Pos100A"};

// Reads the points of one gauge of one slot from the selected group of `prefs`.
template <int Points>
void load_points(Prefs& prefs, CalibrationKind kind, CalibrationSlot<Points>& slot,
                 std::string_view address_text, int gauge) {
  prefs.select_group(calibration_group(kind));
  for (int k = 0; k < Points; ++k) {
    const std::int32_t value = prefs.read_int(calibration_key(kind, k, address_text, gauge), 0);
    slot[static_cast<std::size_t>(2 * k + gauge)] = static_cast<std::uint8_t>(value);
  }
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

void load_calibration(CalibrationTables& tables, int module_index, std::string_view address_text,
                      int gauge, const std::string& path) {
  if (module_index < 0 || module_index >= CALIBRATION_SLOTS || gauge < 0 || gauge > 1) return;
  const auto slot = static_cast<std::size_t>(module_index);
  Prefs prefs;
  // A missing file is created empty, so that every point reads 0; when it can be neither
  // opened nor created, the reads below fall back to 0 all the same.
  if (!prefs.open(path)) prefs.create(path);
  load_points<SUCTION_POINTS>(prefs, CalibrationKind::suction, tables.suction_calibration[slot],
                              address_text, gauge);
  load_points<OAT_POINTS>(prefs, CalibrationKind::oat, tables.oat_calibration[slot], address_text,
                          gauge);
  load_points<FUEL_POINTS>(prefs, CalibrationKind::fuel, tables.fuel_calibration[slot],
                           address_text, gauge);
  prefs.close();
}

}  // namespace kavri
