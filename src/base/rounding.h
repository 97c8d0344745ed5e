// Rounding and narrowing as the gauge engine defines them, with a defined result for every
// input: a double that is NaN, infinite or beyond the integer range never reaches a C++
// float-to-integer conversion (which would be undefined behaviour).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kavri {

// Nearest integer, an exact half going to the even neighbour.
inline double round_half_even(double x) { return std::nearbyint(x); }

// x (already integral or not) truncated toward zero and reduced modulo 2^64 into a signed
// 64-bit integer, the way a 64-bit register keeps the low bits of a wider result.
// NaN gives 0; +-infinity gives 0 (no bits of an infinite value are meaningful).
inline std::int64_t wrap_to_i64(double x) {
  if (!std::isfinite(x)) return 0;
  const double t = std::trunc(x);
  if (t >= -9223372036854775808.0 && t < 9223372036854775808.0) {
    return static_cast<std::int64_t>(t);
  }
  // |t| >= 2^63: t is an integer multiple of a power of two; fmod keeps the low 64 bits.
  const double two64 = 18446744073709551616.0;
  double m = std::fmod(t, two64);
  if (m < 0) m += two64;
  const auto u = m >= 9223372036854775808.0
                     ? static_cast<std::uint64_t>(m - 9223372036854775808.0) + (1ULL << 63)
                     : static_cast<std::uint64_t>(m);
  return static_cast<std::int64_t>(u);
}

// Rounded half to even, then the low 32 bits as a signed integer.
inline std::int32_t round_to_i32(double x) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(wrap_to_i64(round_half_even(x))));
}
// Rounded half to even as a signed 64-bit integer (wrapping).
inline std::int64_t round_to_i64(double x) { return wrap_to_i64(round_half_even(x)); }
// Truncated toward zero, low 32 bits.
inline std::int32_t trunc_to_i32(double x) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(wrap_to_i64(x)));
}
// A rounded result stored in a byte: the low 8 bits of the 32-bit integer.
inline std::uint8_t round_to_byte(double x) { return static_cast<std::uint8_t>(round_to_i32(x)); }

}  // namespace kavri
