// The gauge calculator behind kavri-gauge: one gauge of one module record, configured from a
// ".jcf" file (bus_model/module_config.h), fed simulator values pass after pass through the
// transfer cycle's own steps, without the simulator or the card.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bus_model/module_record.h"
#include "config/calibration_tables.h"
#include "engine/gauge_steps.h"

namespace kavri {

// A simulator value as typed: a decimal floating-point number for an 8-byte offset; for 1, 2
// or 4 bytes an integer by the number text rule (the whole text), of which the low bytes of
// that length are kept. nullopt when the text is not such a number.
std::optional<double> parse_simulator_value(const std::string& text, std::uint8_t length);

class GaugeCalculator {
 public:
  // `gauge` is 1 or 2. The calibration points, if any, are those of slot 0 of `tables`.
  GaugeCalculator(const ModuleRecord& record, const CalibrationTables& tables, int gauge,
                  std::uint8_t glide_flag, std::uint16_t battery);

  // Why the transfer cycle would not drive this gauge at all, or empty when it would.
  std::string undriven_reason() const;
  std::uint8_t offset_length() const;

  // One pass with `value` received at the gauge's offset: what the module then shows.
  GaugePosition shown_after_pass(double value);
  // What the module shows as text: one position byte, or for gauge-1 split types the low and
  // the high byte.
  std::string text_of(GaugePosition shown) const;
  // shown_after_pass as text.
  std::string pass(double value) { return text_of(shown_after_pass(value)); }
  // Whether the gauge's position is 16 bits split over both position commands.
  bool split() const;

 private:
  const GaugeRecord& record_gauge() const;  // the record's gauge that this calculator shows

  ModuleRecord record_;
  const CalibrationTables& tables_;
  int gauge_;
  ModuleTransfer transfer_;
  TransferWork work_;
  std::uint8_t shown_high_ = 0;
};

}  // namespace kavri
