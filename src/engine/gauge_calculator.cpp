#include "engine/gauge_calculator.h"

#include <charconv>
#include <cstring>
#include <type_traits>

#include "base/number_text.h"
#include "bus_model/gauge_types.h"
#include "device/bus_messages.h"

namespace kavri {
namespace {

// True when `text` is wholly a number of the number text rule: blanks, a sign, a "$" or "%"
// base mark, then at least one digit of that base and nothing else.
bool is_whole_number_text(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string_view::npos) return false;
  if (text[i] == '-' || text[i] == '+') ++i;
  std::string_view digits = "0123456789";
  if (i < text.size() && text[i] == '$') {
    digits = "0123456789ABCDEFabcdef";
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    digits = "01";
    ++i;
  }
  return i < text.size() && text.find_first_not_of(digits, i) == std::string_view::npos;
}

}  // namespace

std::optional<double> parse_simulator_value(const std::string& text, std::uint8_t length) {
  if (length == 8) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end) return std::nullopt;
    return value;
  }
  if (!is_whole_number_text(text)) return std::nullopt;
  const std::int64_t number = parse_number_text(text);
  // The low bytes of the length kept, as the receive area of that length holds them; a length
  // without one keeps one byte.
  ReceiveAreas areas;
  double kept = 0;
  with_receive_area(areas, has_receive_area(length) ? length : std::uint8_t{1}, [&](auto& area) {
    area = static_cast<std::remove_reference_t<decltype(area)>>(number);
    kept = area;
  });
  return kept;
}

GaugeCalculator::GaugeCalculator(const ModuleRecord& record, const CalibrationTables& tables,
                                 int gauge, std::uint8_t glide_flag, std::uint16_t battery)
    : record_(record), tables_(tables), gauge_(gauge) {
  work_.glide_flag = glide_flag;
  work_.sim_battery_low = battery;
}

const GaugeRecord& GaugeCalculator::record_gauge() const {
  return record_.gauges[static_cast<std::size_t>(gauge_ - 1)];
}

std::uint8_t GaugeCalculator::offset_length() const { return record_gauge().offset_length; }

std::string GaugeCalculator::undriven_reason() const {
  const bool first = gauge_ == 1;
  const int type = record_gauge().type;
  if (record_gauge().offset == 0) {
    return "the gauge's offset is 0: the transfer cycle does not drive it";
  }
  if (!has_receive_area(offset_length())) {
    return "offset length " + std::to_string(offset_length()) +
           " is not 1, 2, 4 or 8: the transfer cycle does not drive the gauge";
  }
  if (type < 1 || type > 40 || (!first && !has_gauge2_conversion(type))) {
    return "type " + std::to_string(type) + " has no conversion for gauge " +
           std::to_string(gauge_) + ": the transfer cycle does not drive it";
  }
  return {};
}

GaugePosition GaugeCalculator::shown_after_pass(double value) {
  GaugeTransfer& shown = transfer_.gauges[static_cast<std::size_t>(gauge_ - 1)];
  with_receive_area(shown.value, offset_length(), [&](auto& area) {
    area = static_cast<std::remove_reference_t<decltype(area)>>(value);
  });
  const BusCommands sent = gauge_step(record_, transfer_, gauge_ - 1, tables_, 0, work_);
  if (sent.count == 2) shown_high_ = sent.items[1].data;
  return {shown.last_position, split() ? shown_high_ : std::uint8_t{0}};
}

std::string GaugeCalculator::text_of(GaugePosition shown) const {
  if (!split()) return std::to_string(shown.low);
  return std::to_string(shown.low) + " " + std::to_string(shown.high);
}

bool GaugeCalculator::split() const { return gauge_ == 1 && is_split_type(record_gauge().type); }

}  // namespace kavri
