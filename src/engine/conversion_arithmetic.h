// The arithmetic building blocks of the conversions: integer steps wrap the way fixed-width
// registers do (never signed overflow), and every division by a gauge's ratio is defined.
#pragma once

#include <cstdint>

#include "base/rounding.h"

namespace kavri::conversion {

// x / k. A ratio of 0 comes from a gauge whose course or simulator range is empty; it carries
// no scale, so the quotient is 0 and the common step leaves the needle at its course minimum.
inline double per_ratio(double x, float k) { return k == 0.0f ? 0.0 : x / static_cast<double>(k); }

// Half the course, exact (it may end in .5, and is negative when the course is inverted).
inline double half_course(std::uint8_t course_min, std::uint8_t course_max) {
  return (static_cast<int>(course_max) - static_cast<int>(course_min)) / 2.0;
}

// A 64-bit integer as a double, rounded to 53 bits as the floating-point unit loads it.
inline double as_double(std::int64_t x) { return static_cast<double>(x); }

inline std::int32_t wrapping_add32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapping_sub32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int64_t wrapping_sub64(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}

// Clamp, upper bound first: a simulator minimum above the maximum wins.
template <typename T>
T clamp_upper_first(T x, std::int16_t sim_min, std::int32_t sim_max) {
  if (x > static_cast<T>(sim_max)) x = static_cast<T>(sim_max);
  if (x < static_cast<T>(sim_min)) x = static_cast<T>(sim_min);
  return x;
}
// Clamp, lower bound first: a simulator maximum below the minimum wins.
template <typename T>
T clamp_lower_first(T x, std::int16_t sim_min, std::int32_t sim_max) {
  if (x < static_cast<T>(sim_min)) x = static_cast<T>(sim_min);
  if (x > static_cast<T>(sim_max)) x = static_cast<T>(sim_max);
  return x;
}

// The 16-bit clamps: the maximum is compared on 32 bits and stored as its low 16 bits; the
// minimum is compared on 16 bits.
inline std::int16_t clamp16_upper_first(std::int16_t w, std::int16_t sim_min,
                                        std::int32_t sim_max) {
  if (w > sim_max) w = low16_signed(sim_max);
  if (w < sim_min) w = sim_min;
  return w;
}
inline std::int16_t clamp16_lower_first(std::int16_t w, std::int16_t sim_min,
                                        std::int32_t sim_max) {
  if (w < sim_min) w = sim_min;
  if (w > sim_max) w = low16_signed(sim_max);
  return w;
}

}  // namespace kavri::conversion
