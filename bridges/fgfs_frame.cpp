#include "bridges/fgfs_frame.h"

#include <cmath>
#include <limits>

#include "bridges/decimal.h"

namespace kavri {
namespace {

// The fields of one line, or why the datagram is not one line of `count` fields.
Result<std::vector<std::string_view>> split_fields(std::string_view line, std::size_t count) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.size() > count * (MAX_FRAME_FIELD + 1)) {
    return fail("longer than " + std::to_string(count) + " fields can be");
  }
  if (line.find_first_of("\r\n") != std::string_view::npos) {
    return fail("more than one line");
  }
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const auto comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string_view::npos || fields.size() > count) break;
    start = comma + 1;
  }
  if (fields.size() != count) {
    return fail(std::string(fields.size() > count ? "more" : "fewer") + " fields than the " +
                std::to_string(count) + " read lines of the map");
  }
  return fields;
}

// What FlightGear's printf prints for a value that is not a number: NaN or infinite, which
// the frame carries so that it is left out alone.
std::optional<double> not_a_number(std::string_view field) {
  const bool negative = field.starts_with('-');
  if (negative || field.starts_with('+')) field.remove_prefix(1);
  if (field == "nan" || field == "NaN" || field == "NAN") return std::nan("");
  if (field == "inf" || field == "Inf" || field == "INF" || field == "infinity") {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  return std::nullopt;
}

}  // namespace

Result<Frame> decode_frame(const BridgeMap& map, std::string_view datagram) {
  const std::vector<const MapLine*> lines = map.read_lines();
  auto fields = split_fields(datagram, lines.size());
  if (!fields) return fail(fields.error());
  Frame frame;
  frame.properties.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view field = (*fields)[i];
    auto property = field.size() <= MAX_FRAME_FIELD ? parse_decimal(field) : std::nullopt;
    if (!property) property = not_a_number(field);
    if (!property) {
      return fail("field " + std::to_string(i + 1) + " (" + lines[i]->property +
                  ") is not a decimal number");
    }
    frame.properties.push_back(*property);
  }
  frame.offsets = offset_values(lines, frame.properties);
  return frame;
}

}  // namespace kavri
