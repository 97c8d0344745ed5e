// Decimal numbers as FlightGear prints them ("%.6f") and as map files write them.
#pragma once

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace kavri {

// The whole of `text` as a finite decimal number: an optional "-", digits with an optional
// fraction and exponent. Nullopt for anything else: blanks, a "+", hexadecimal, "nan", "inf",
// trailing characters, or a number beyond the double range.
inline std::optional<double> parse_decimal(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (error != std::errc{} || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace kavri
