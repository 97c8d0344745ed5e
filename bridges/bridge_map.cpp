#include "bridges/bridge_map.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <sstream>
#include <unordered_map>

#include "base/rounding.h"
#include "bridges/decimal.h"
#include "simlink/ipc_records.h"

namespace kavri {
namespace {

constexpr std::uint32_t SPACE_SIZE = 0x10000;

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::optional<std::uint32_t> parse_hex_offset(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
  } else if (text.starts_with("$")) {
    text.remove_prefix(1);
  } else {
    return std::nullopt;
  }
  if (text.empty() || text.size() > 4) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::optional<std::uint32_t> parse_small_decimal(std::string_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

std::optional<MapDirection> parse_direction(std::string_view text) {
  if (text == "read") return MapDirection::read;
  if (text == "write") return MapDirection::write;
  if (text == "both") return MapDirection::both;
  return std::nullopt;
}

// The kind field: "int", "float" or "bitN"; false when it is none of them.
bool parse_kind(std::string_view text, MapLine& line) {
  if (text == "int") {
    line.kind = MapKind::integer;
  } else if (text == "float") {
    line.kind = MapKind::floating;
  } else if (text.starts_with("bit")) {
    const auto bit = parse_small_decimal(text.substr(3));
    if (!bit) return false;
    line.kind = MapKind::bit;
    line.bit = *bit;
  } else {
    return false;
  }
  return true;
}

// One line's fields, or the reason it is not a map line.
Result<MapLine> parse_line(std::string_view fields_text, const SimulatorNames& names) {
  std::vector<std::string> fields;
  std::istringstream words{std::string(fields_text)};
  for (std::string word; words >> word;) fields.push_back(word);
  if (fields.size() != 7) {
    return fail("expected 7 fields (OFFSET SIZE KIND PROPERTY SCALE BIAS DIRECTION), found " +
                std::to_string(fields.size()));
  }
  MapLine line;
  const auto offset = parse_hex_offset(fields[0]);
  const auto size = parse_small_decimal(fields[1]);
  const auto scale = parse_decimal(fields[4]);
  const auto bias = parse_decimal(fields[5]);
  const auto direction = parse_direction(fields[6]);
  std::string reason;
  if (!offset) {
    reason = "offset \"" + fields[0] + "\" is not 0x0000 to 0xFFFF";
  } else if (!size || (*size != 1 && *size != 2 && *size != 4 && *size != 8)) {
    reason = "size \"" + fields[1] + "\" is not 1, 2, 4 or 8";
  } else if (*offset + *size > SPACE_SIZE) {
    reason = "the offset's bytes pass the end of the offsets (0xFFFF)";
  } else if (!parse_kind(fields[2], line)) {
    reason = "kind \"" + fields[2] + "\" is not int, float or bitN";
  } else if (const Status name = names.accepts(fields[3]); !name) {
    reason = name.error();
  } else if (!scale || !bias) {
    reason = "scale and bias must be decimal numbers";
  } else if (!direction) {
    reason = "direction \"" + fields[6] + "\" is not read, write or both";
  }
  if (!reason.empty()) return fail(std::move(reason));
  line.offset = *offset;
  line.size = *size;
  line.property = fields[3];
  line.scale = *scale;
  line.bias = *bias;
  line.direction = *direction;
  if (line.kind == MapKind::floating && line.size != 8) {
    reason = "float lines are 8 bytes";
  } else if (line.kind == MapKind::bit && line.bit >= 8 * line.size) {
    reason = "bit " + std::to_string(line.bit) + " is outside a " + std::to_string(line.size) +
             "-byte word";
  } else if (line.kind == MapKind::bit && line.writes()) {
    reason = "bit lines are read only";
  } else if (line.writes() && line.scale == 0) {
    reason = "a write line needs a scale other than 0";
  } else if (line.offset < OFFSET_CLIENT_VERSION + 2 &&
             line.offset + line.size > OFFSET_SERVER_VERSION) {
    reason = "0x3304-0x330B hold the link's version words";
  }
  if (!reason.empty()) return fail(std::move(reason));
  return line;
}

// The bytes that the lines so far hold, so that each new line is checked in constant time:
// bytes belong to one line, except that the bit lines of one word (same offset and size,
// distinct bits) share them.
class ByteOwners {
 public:
  // Why `line` (line `number` of the text) cannot join the lines before it, or "" when it can
  // (it then holds its bytes).
  std::string claim(const MapLine& line, int number) {
    int first = 0;  // the first line holding one of its bytes
    for (std::uint32_t at = line.offset; at < line.offset + line.size; ++at) {
      if (owner_[at] != 0 && (first == 0 || owner_[at] < first)) first = owner_[at];
    }
    const bool bit = line.kind == MapKind::bit;
    if (first != 0) {
      const auto word = words_.find(line.offset);
      const bool same_word = bit && word != words_.end() && word->second.first_line == first &&
                             word->second.size == line.size;
      if (!same_word) return "its bytes overlap line " + std::to_string(first);
      int& holder = word->second.bit_lines[line.bit];
      if (holder != 0) {
        return "bit " + std::to_string(line.bit) + " is already line " + std::to_string(holder);
      }
      holder = number;
      return {};
    }
    for (std::uint32_t at = line.offset; at < line.offset + line.size; ++at) owner_[at] = number;
    if (bit) {
      Word& word = words_[line.offset];
      word = Word{number, line.size, {}};
      word.bit_lines[line.bit] = number;
    }
    return {};
  }

 private:
  struct Word {
    int first_line = 0;
    std::uint32_t size = 0;
    std::array<int, 64> bit_lines{};  // the line of each bit, 0 for none
  };
  std::vector<int> owner_ = std::vector<int>(SPACE_SIZE, 0);  // a line number, 0 for none
  std::unordered_map<std::uint32_t, Word> words_;             // bit words by offset
};

std::vector<const MapLine*> lines_where(const BridgeMap& map, bool (MapLine::*keep)() const) {
  std::vector<const MapLine*> kept;
  for (const MapLine& line : map.lines) {
    if ((line.*keep)()) kept.push_back(&line);
  }
  return kept;
}

}  // namespace

bool name_characters_only(std::string_view name) {
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '_' || c == '-' || c == '.' || c == '[' || c == ']';
  });
}

std::vector<const MapLine*> BridgeMap::read_lines() const {
  return lines_where(*this, &MapLine::reads);
}

std::vector<const MapLine*> BridgeMap::write_lines() const {
  return lines_where(*this, &MapLine::writes);
}

Result<BridgeMap> parse_bridge_map(std::string_view text, std::string_view source,
                                   const SimulatorNames& names) {
  BridgeMap map;
  ByteOwners owners;
  int number = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    const auto hash = raw.find('#');
    const std::string_view fields = trim(raw.substr(0, hash));
    if (fields.empty()) continue;
    auto line = parse_line(fields, names);
    const std::string reason = line ? owners.claim(*line, number) : line.error();
    if (!reason.empty())
      return fail(std::string(source) + ":" + std::to_string(number) + ": " + reason);
    line->line_number = number;
    if (hash != std::string_view::npos) line->note = trim(raw.substr(hash + 1));
    map.lines.push_back(std::move(*line));
  }
  if (map.read_lines().empty()) {
    return fail(std::string(source) + ": no read or both line: " + names.simulator +
                " would send nothing");
  }
  return map;
}

BridgeMap builtin_bridge_map(std::string_view text, const SimulatorNames& names) {
  return *parse_bridge_map(text, "built-in map", names);
}

std::optional<std::int64_t> integer_offset_value(const MapLine& line, double property,
                                                 bool* clamped) {
  if (clamped) *clamped = false;
  if (!std::isfinite(property)) return std::nullopt;
  if (line.kind == MapKind::bit) return property != 0 ? std::int64_t{1} << line.bit : 0;
  const double value = round_half_even(property * line.scale + line.bias);
  // Both readings of the offset hold it: signed from -2^(8n-1), unsigned up to 2^(8n)-1.
  const int bits = static_cast<int>(8 * line.size);
  const double lowest = -std::ldexp(1.0, bits - 1);
  const double beyond = std::ldexp(1.0, bits);
  if (value >= lowest && value < beyond) return wrap_to_i64(value);
  if (clamped) *clamped = true;
  // A needle beyond its scale rests at its stop: the nearest value the offset holds (all
  // bits set is the unsigned reading's highest once cut to the offset's bytes).
  if (value >= beyond) return bits == 64 ? -1 : (std::int64_t{1} << bits) - 1;
  return bits == 64 ? std::numeric_limits<std::int64_t>::min() : -(std::int64_t{1} << (bits - 1));
}

std::optional<double> floating_offset_value(const MapLine& line, double property, bool* clamped) {
  if (clamped) *clamped = false;
  if (!std::isfinite(property)) return std::nullopt;
  const double value = property * line.scale + line.bias;
  if (std::isfinite(value)) return value;
  if (clamped) *clamped = true;
  constexpr double HIGHEST = std::numeric_limits<double>::max();
  return value > 0 ? HIGHEST : -HIGHEST;
}

std::optional<double> property_value(const MapLine& line, std::uint64_t offset_bytes) {
  if (line.kind == MapKind::bit || line.scale == 0) return std::nullopt;
  double stored = 0;
  if (line.kind == MapKind::floating) {
    stored = std::bit_cast<double>(offset_bytes);
  } else {
    const unsigned unused = 64 - 8 * line.size;  // sign-extends the offset's top bit
    stored = static_cast<double>(static_cast<std::int64_t>(offset_bytes << unused) >> unused);
  }
  const double property = (stored - line.bias) / line.scale;
  if (!std::isfinite(property)) return std::nullopt;
  return property;
}

}  // namespace kavri
