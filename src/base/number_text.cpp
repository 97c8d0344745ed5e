#include "base/number_text.h"

#include <cstdio>

namespace kavri {

namespace {

int digit_value(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

}  // namespace

std::int64_t parse_number_text(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  // Unsigned arithmetic wraps by definition, which gives the documented modulo-2^64 result.
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int d = digit_value(text[i], base);
    if (d < 0) break;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
  }
  if (negative) value = 0 - value;
  return static_cast<std::int64_t>(value);
}

std::string format_decimal(std::int64_t value) { return std::to_string(value); }

std::string format_offset(std::uint16_t offset) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "$%04X", static_cast<unsigned>(offset));
  return buf;
}

}  // namespace kavri
