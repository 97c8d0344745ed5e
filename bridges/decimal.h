// Decimal numbers as FlightGear prints them ("%.6f") and as map files write them.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace kavri {

// The whole of `text` as a finite decimal number: an optional "-", digits with an optional
// fraction and exponent. Nullopt for anything else: blanks, a "+", hexadecimal, "nan", "inf",
// trailing characters, or a number beyond the double range. A number too small for a double
// (1e-400) is a finite decimal all the same: it is taken as the nearest double (0, or the
// nearest subnormal).
inline std::optional<double> parse_decimal(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (stop != end) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    // Beyond the range on the large side or the small one: the C library tells which (the
    // program keeps the "C" locale, so its decimal point is "."), giving the nearest double
    // for a small one and an infinity for a large one.
    value = std::strtod(std::string(text).c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
  }
  if (error != std::errc{} || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace kavri
