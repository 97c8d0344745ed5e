// The option values both bridge programs take.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kavri {

// A whole number of at most `digits` decimal digits (no sign, no blank).
inline std::optional<std::int64_t> parse_whole_number(std::string_view text, std::size_t digits) {
  if (text.empty() || text.size() > digits) return std::nullopt;
  std::int64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number;
}

// --run-for's whole seconds, at most nine digits, as milliseconds.
inline std::optional<std::int64_t> parse_whole_seconds(std::string_view text) {
  const auto seconds = parse_whole_number(text, 9);
  if (!seconds) return std::nullopt;
  return *seconds * 1000;
}

}  // namespace kavri
