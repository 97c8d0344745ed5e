// The four fixed piecewise curves of the flap indicators and the cabin altimeter.
#pragma once

#include <cstdint>

namespace kavri {

enum class PiecewiseCurve {
  flap_737,        // type 1
  cabin_altitude,  // type 5
  flap_pmdg_737,   // type 37
  flap_ifly_737,   // type 40
};

// The curve's position byte for `conversion_input` (the working value rounded to 32 bits).
// Inputs beyond the curve's last segment, and negative inputs, give 0.
std::uint8_t piecewise_curve_position(PiecewiseCurve curve, std::int32_t conversion_input);

// The last input of the curve's last segment.
std::int32_t piecewise_curve_last_input(PiecewiseCurve curve);

}  // namespace kavri
