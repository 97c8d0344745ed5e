#include "engine/curves.h"

#include <array>

#include "base/rounding.h"

namespace kavri {
namespace {

// One segment over the rounded input n in [first, last]. The first segment of a curve reads
// y = x / base + 1; the others y = x / ((x - start) * slope + base), or, for `subtract`,
// y = x / (base - (x - start) * slope). Constants are single precision, as the curves were
// tabulated.
struct Segment {
  std::int32_t first;
  std::int32_t last;
  float start;
  float slope;
  float base;
  bool subtract = false;
};
using Curve = std::array<Segment, 8>;

constexpr Curve kFlap737{{
    {0, 409, 0.0f, 0.0f, 11.36f},
    {410, 819, 410.0f, 0.0012f, 11.36f},
    {820, 2047, 820.0f, 0.0062f, 11.87f},
    {2048, 4095, 2048.0f, 0.0049f, 19.5f},
    {4096, 6143, 4096.0f, 0.003f, 29.46f},
    {6144, 10239, 6144.0f, 0.0038f, 35.51f},
    {10240, 12287, 10240.0f, 0.0015f, 51.2f},
    {12288, 16383, 12288.0f, 0.0024f, 54.37f},
}};

constexpr Curve kCabinAltitude{{
    {0, 1524, 0.0f, 0.0f, 38.1f},
    {1525, 3048, 1525.0f, 0.0015f, 38.1f, true},
    {3049, 4572, 3049.0f, 0.0007f, 35.86f},
    {4573, 6096, 4573.0f, 0.0016f, 36.87f},
    {6097, 7620, 6097.0f, 0.0015f, 39.33f},
    {7621, 9144, 7621.0f, 0.0021f, 41.64f},
    {9145, 10668, 9145.0f, 0.0023f, 44.82f},
    {10669, 12192, 10669.0f, 0.0022f, 48.27f},
}};

constexpr Curve kFlapPmdg737{{
    {0, 3640, 0.0f, 0.0f, 101.11f},
    {3641, 7509, 3641.0f, 0.0016f, 101.11f},
    {7510, 10239, 7510.0f, -0.0039f, 107.27f},
    {10240, 12742, 10240.0f, -0.0025f, 96.59f},
    {12743, 13652, 12743.0f, -0.0136f, 90.37f},
    {13653, 14335, 13653.0f, -0.0108f, 78.01f},
    {14336, 15017, 14336.0f, -0.007f, 70.62f},
    {15018, 16383, 15018.0f, -0.00115f, 65.86f},
}};

// Same ranges as the 737 flap curve, each start one below the range's lower bound.
constexpr Curve kFlapIfly737{{
    {0, 409, 0.0f, 0.0f, 11.36f},
    {410, 819, 409.0f, 0.0008f, 11.36f},
    {820, 2047, 819.0f, 0.0062f, 11.7f},
    {2048, 4095, 2047.0f, 0.0048f, 19.31f},
    {4096, 6143, 4095.0f, 0.003f, 29.04f},
    {6144, 10239, 6143.0f, 0.0037f, 35.1f},
    {10240, 12287, 10239.0f, 0.0017f, 50.44f},
    {12288, 16383, 12287.0f, 0.0025f, 53.89f},
}};

const Curve& curve_table(PiecewiseCurve curve) {
  switch (curve) {
    case PiecewiseCurve::flap_737:
      return kFlap737;
    case PiecewiseCurve::cabin_altitude:
      return kCabinAltitude;
    case PiecewiseCurve::flap_pmdg_737:
      return kFlapPmdg737;
    case PiecewiseCurve::flap_ifly_737:
      break;
  }
  return kFlapIfly737;
}

}  // namespace

std::int32_t piecewise_curve_last_input(PiecewiseCurve curve) {
  return curve_table(curve).back().last;
}

std::uint8_t piecewise_curve_position(PiecewiseCurve curve, std::int32_t conversion_input) {
  const Curve& segments = curve_table(curve);
  const float x = static_cast<float>(conversion_input);
  const std::int64_t n = round_to_i64(x);
  double y = 0;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    if (n < s.first || n > s.last) continue;
    if (i == 0) {
      y = x / static_cast<double>(s.base) + 1;
    } else {
      const double term = (static_cast<double>(x) - s.start) * static_cast<double>(s.slope);
      y = x / (s.subtract ? s.base - term : term + s.base);
    }
    break;
  }
  return round_to_byte(to_single(y));
}

}  // namespace kavri
