#include "bridges/fgfs_frame.h"

#include "bridges/decimal.h"

namespace kavri {
namespace {

// The fields of one line, or nullopt when the datagram is not one line of `count` fields.
std::optional<std::vector<std::string_view>> split_fields(std::string_view line, std::size_t count,
                                                          std::string& error) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.size() > count * (MAX_FRAME_FIELD + 1)) {
    error = "longer than " + std::to_string(count) + " fields can be";
    return std::nullopt;
  }
  if (line.find_first_of("\r\n") != std::string_view::npos) {
    error = "more than one line";
    return std::nullopt;
  }
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const auto comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string_view::npos || fields.size() > count) break;
    start = comma + 1;
  }
  if (fields.size() != count) {
    error = std::string(fields.size() > count ? "more" : "fewer") + " fields than the " +
            std::to_string(count) + " read lines of the map";
    return std::nullopt;
  }
  return fields;
}

}  // namespace

std::optional<Frame> decode_frame(const BridgeMap& map, std::string_view datagram,
                                  std::string& error) {
  const std::vector<const MapLine*> lines = map.read_lines();
  const auto fields = split_fields(datagram, lines.size(), error);
  if (!fields) return std::nullopt;
  Frame frame;
  frame.properties.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view field = (*fields)[i];
    const auto property = field.size() <= MAX_FRAME_FIELD ? parse_decimal(field) : std::nullopt;
    const std::string where = "field " + std::to_string(i + 1) + " (" + lines[i]->property + ")";
    if (!property) {
      error = where + " is not a finite decimal number";
      return std::nullopt;
    }
    frame.properties.push_back(*property);
  }
  auto offsets = offset_values(lines, frame.properties, error);
  if (!offsets) return std::nullopt;
  frame.offsets = std::move(*offsets);
  return frame;
}

}  // namespace kavri
