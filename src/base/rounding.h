// Rounding and narrowing as the gauge engine defines them, with a defined result for every
// input: a double that is NaN, infinite or beyond the integer range never reaches a C++
// float-to-integer conversion (which would be undefined behaviour).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kavri {

// Nearest integer, an exact half going to the even neighbour. Computed without the floating
// point environment, so a rounding mode that some library leaves set changes nothing, and
// without a library call (the transfer pass rounds a few hundred values). NaN and infinities
// come back unchanged; a zero keeps the sign of x, as std::round gives it.
inline double round_half_even(double x) {
  constexpr double kAllIntegral = 4503599627370496.0;  // 2^52: from here on no fraction
  if (!(std::fabs(x) < kAllIntegral)) return x;
  const auto truncated = static_cast<std::int64_t>(x);         // toward zero
  const double fraction = x - static_cast<double>(truncated);  // exact below 2^52
  const bool odd = (truncated & 1) != 0;
  std::int64_t nearest = truncated;
  if (fraction > 0.5 || (fraction == 0.5 && odd)) ++nearest;
  if (fraction < -0.5 || (fraction == -0.5 && odd)) --nearest;
  return std::copysign(static_cast<double>(nearest), x);
}

// x (already integral or not) truncated toward zero and reduced modulo 2^64 into a signed
// 64-bit integer, the way a 64-bit register keeps the low bits of a wider result.
// NaN gives 0; +-infinity gives 0 (no bits of an infinite value are meaningful).
inline std::int64_t wrap_to_i64(double x) {
  // In range, the conversion itself truncates (NaN fails the test).
  if (x >= -9223372036854775808.0 && x < 9223372036854775808.0) return static_cast<std::int64_t>(x);
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
// Truncated toward zero, low 8 bits.
inline std::uint8_t trunc_to_byte(double x) { return static_cast<std::uint8_t>(trunc_to_i32(x)); }

// The low 16 bits of an integer, taken as signed (two's complement, defined in C++20).
inline std::int16_t low16_signed(std::int64_t v) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}

// x stored in single precision, nearest-even, as the floating-point unit stores it: a finite
// double beyond the float range becomes the largest float or infinity exactly where IEEE
// rounding puts it, never a conversion that C++ leaves undefined.
inline float to_single(double x) {
  constexpr double kMax = std::numeric_limits<float>::max();
  constexpr double kOverflow = kMax + 10141204801825835211973625643008.0;  // + half an ulp, 2^103
  if (x >= kOverflow) return std::numeric_limits<float>::infinity();
  if (x <= -kOverflow) return -std::numeric_limits<float>::infinity();
  if (x > kMax) return std::numeric_limits<float>::max();
  if (x < -kMax) return std::numeric_limits<float>::lowest();
  return static_cast<float>(x);  // NaN and infinities convert as they are
}

}  // namespace kavri
