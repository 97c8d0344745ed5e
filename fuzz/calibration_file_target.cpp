// "Calibrage.ini" as an editor or an older version left it: every gauge of every slot loads,
// and a gauge outside the tables changes nothing.
#include <cstring>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "config/calibration_tables.h"
#include "config/file_text.h"
#include "fuzz/fuzz_target.h"
#include "testing/files.h"

namespace kavri::fuzz {

void fuzz_calibration_file(Bytes input) {
  static const ScratchDirectory scratch;
  const std::string path = scratch.file("Calibrage.ini");
  const std::string bytes(as_text(input));
  testing::write_file(path, bytes);
  std::vector<CalibrationGauge> gauges;
  for (int slot = 0; slot < CALIBRATION_SLOTS; ++slot) {
    for (int gauge = 0; gauge < 2; ++gauge) gauges.push_back({slot, format_decimal(slot), gauge});
  }
  CalibrationTables tables;
  // Bytes that are no text of their encoding (UTF-16 of an odd length, say) are a file that
  // cannot be read, left as it is; any other file opens.
  const PrefsOpening opening = load_calibrations(tables, gauges, path);
  if (!decode_file_text(bytes)) {
    expect(opening == PrefsOpening::unreadable && testing::read_file(path) == bytes,
           "a file that is not text is left as it is");
    return;
  }
  expect(opening == PrefsOpening::opened, "the file opens");
  CalibrationTables untouched;
  const CalibrationGauge outside[] = {{-1, "0", 0}, {CALIBRATION_SLOTS, "0", 0}, {0, "0", 2}};
  load_calibrations(untouched, outside, path);
  const CalibrationTables fresh;
  const auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  expect(same(untouched.suction_calibration, fresh.suction_calibration) &&
             same(untouched.oat_calibration, fresh.oat_calibration) &&
             same(untouched.fuel_calibration, fresh.fuel_calibration),
         "a gauge outside the tables changes nothing");
}

}  // namespace kavri::fuzz
