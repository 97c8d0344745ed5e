// How the driver reads a number that a user typed or a file holds, and how it shows one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavri {

// The number text rule: leading blanks and tabs are skipped; one optional "-" or "+"; then "$"
// for hexadecimal digits, "%" for binary digits, otherwise decimal digits; reading stops at the
// first character that is not a digit of that base; no digit gives 0. The result wraps modulo
// 2^64 on overflow (never undefined behaviour) and is negated for "-". Callers keep the low
// 8, 16 or 32 bits that their destination holds.
std::int64_t parse_number_text(std::string_view text);

// Decimal, with a leading "-" when negative.
std::string format_decimal(std::int64_t value);

// A simulator offset: "$" and four upper-case hexadecimal digits, zero-padded ($0BC0).
std::string format_offset(std::uint16_t offset);

}  // namespace kavri
