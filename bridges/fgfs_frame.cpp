#include "bridges/fgfs_frame.h"

#include <bit>
#include <charconv>
#include <cstdio>

#include "bridges/decimal.h"

namespace kavri {
namespace {

std::string offset_name(std::uint32_t offset) {
  char name[8];
  std::snprintf(name, sizeof name, "0x%04X", static_cast<unsigned>(offset));
  return name;
}

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

// Adds `line`'s value for `property` to the frame's offsets; false when it has none.
bool add_offset_value(const MapLine& line, double property, std::vector<OffsetValue>& offsets) {
  OffsetValue* word = nullptr;
  if (line.kind == MapKind::bit) {
    for (OffsetValue& value : offsets) {
      if (value.offset == line.offset) word = &value;
    }
  }
  if (word == nullptr) {
    word = &offsets.emplace_back();
    word->offset = line.offset;
    word->size = line.size;
    word->floating = line.kind == MapKind::floating;
  }
  if (line.kind == MapKind::floating) {
    const auto value = floating_offset_value(line, property);
    if (value) word->real = *value;
    return value.has_value();
  }
  const auto value = integer_offset_value(line, property);
  if (value) word->integer |= *value;
  return value.has_value();
}

}  // namespace

std::uint64_t OffsetValue::bytes() const {
  return floating ? std::bit_cast<std::uint64_t>(real) : static_cast<std::uint64_t>(integer);
}

std::string OffsetValue::text() const {
  char head[16];
  std::snprintf(head, sizeof head, "$%04X:%u=", static_cast<unsigned>(offset),
                static_cast<unsigned>(size));
  char number[32];
  // The shortest text that reads back as the same double, so nothing is lost in print.
  const auto end = floating ? std::to_chars(number, number + sizeof number, real).ptr
                            : std::to_chars(number, number + sizeof number, integer).ptr;
  return head + std::string(number, end);
}

std::optional<Frame> decode_frame(const FgfsMap& map, std::string_view datagram,
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
    if (!add_offset_value(*lines[i], *property, frame.offsets)) {
      error = where + " gives a value that " + offset_name(lines[i]->offset) + " cannot hold";
      return std::nullopt;
    }
    frame.properties.push_back(*property);
  }
  return frame;
}

std::string frame_text(const Frame& frame) {
  std::string text;
  for (const OffsetValue& value : frame.offsets) {
    if (!text.empty()) text += ' ';
    text += value.text();
  }
  return text;
}

}  // namespace kavri
