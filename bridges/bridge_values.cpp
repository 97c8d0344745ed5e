#include "bridges/bridge_values.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace kavri {
namespace {

std::string offset_name(std::uint32_t offset) {
  char name[8];
  std::snprintf(name, sizeof name, "0x%04X", static_cast<unsigned>(offset));
  return name;
}

// Adds `line`'s value for `property` to `offsets` (a bit line to its word's value, found in
// `words`), or nothing for a property that is not a finite number; `clamped` tells whether the
// value was set to the offset's nearest limit.
void add_offset_value(const MapLine& line, double property, std::vector<OffsetValue>& offsets,
                      std::unordered_map<std::uint32_t, std::size_t>& words, bool& clamped) {
  const auto integer = line.kind == MapKind::floating
                           ? std::nullopt
                           : integer_offset_value(line, property, &clamped);
  const auto real = line.kind == MapKind::floating ? floating_offset_value(line, property, &clamped)
                                                   : std::nullopt;
  if (!integer && !real) return;
  std::size_t at = offsets.size();
  if (line.kind == MapKind::bit) at = words.try_emplace(line.offset, at).first->second;
  if (at == offsets.size()) {
    OffsetValue& value = offsets.emplace_back();
    value.offset = line.offset;
    value.size = line.size;
    value.floating = line.kind == MapKind::floating;
  }
  OffsetValue& word = offsets[at];
  if (real) word.real = *real;
  if (integer) word.integer |= *integer;
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

std::vector<OffsetValue> offset_values(std::span<const MapLine* const> reads,
                                       std::span<const double> values,
                                       std::vector<std::string>* clamped) {
  std::vector<OffsetValue> offsets;
  std::unordered_map<std::uint32_t, std::size_t> words;
  for (std::size_t i = 0; i < reads.size() && i < values.size(); ++i) {
    const MapLine& line = *reads[i];
    bool at_limit = false;
    add_offset_value(line, values[i], offsets, words, at_limit);
    if (at_limit && clamped) {
      clamped->push_back(line.property + " = " + std::to_string(values[i]) + ", beyond what " +
                         offset_name(line.offset) + " holds");
    }
  }
  return offsets;
}

std::string offsets_text(std::span<const OffsetValue> offsets) {
  std::string text;
  for (const OffsetValue& value : offsets) {
    if (!text.empty()) text += ' ';
    text += value.text();
  }
  return text;
}

}  // namespace kavri
