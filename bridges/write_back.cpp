#include "bridges/write_back.h"

#include <algorithm>

namespace kavri {

WriteBack::WriteBack(const BridgeMap& map) {
  const std::vector<const MapLine*> reads = map.read_lines();
  for (const MapLine* line : map.write_lines()) {
    Field field;
    field.line = line;
    const auto found = std::find(reads.begin(), reads.end(), line);
    if (found != reads.end()) field.read_index = static_cast<std::size_t>(found - reads.begin());
    fields_.push_back(field);
  }
}

void WriteBack::take_reported(std::span<const double> properties) {
  reported_once_ = true;
  for (Field& field : fields_) {
    if (field.read_index && *field.read_index < properties.size()) {
      field.reported = properties[*field.read_index];
    }
  }
}

void WriteBack::forget_written() {
  for (Field& field : fields_) {
    field.written_bytes = 0;
    field.written_mask = 0;
    field.written.reset();
  }
}

WriteBack::WriteEffect WriteBack::take_client_write(std::uint32_t offset,
                                                    std::span<const std::uint8_t> bytes) {
  WriteEffect effect = WriteEffect::none;
  const std::uint64_t end = std::uint64_t{offset} + bytes.size();
  for (Field& field : fields_) {
    const MapLine& line = *field.line;
    if (end <= line.offset || offset >= line.offset + line.size) continue;
    // Only the bytes of the write that fall inside the line's offset.
    for (std::uint32_t i = 0; i < line.size; ++i) {
      const std::uint64_t at = std::uint64_t{line.offset} + i;
      if (at < offset || at >= end) continue;
      const std::uint64_t byte = bytes[static_cast<std::size_t>(at - offset)];
      field.written_bytes =
          (field.written_bytes & ~(std::uint64_t{0xFF} << (8 * i))) | byte << (8 * i);
      field.written_mask = static_cast<std::uint8_t>(field.written_mask | 1u << i);
    }
    const bool whole = field.written_mask == (1u << line.size) - 1;
    const auto value = whole ? property_value(line, field.written_bytes) : std::nullopt;
    if (value && value != field.written) {
      field.written = value;
      effect = WriteEffect::new_value;
    } else if (effect == WriteEffect::none) {
      effect = WriteEffect::same_values;
    }
  }
  return effect;
}

}  // namespace kavri
