// The picture of kavri-gauge --plot: one panel per gauge curve, as an SVG document that a
// browser shows as it is.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/gauge_curve.h"

namespace kavri {

// An SVG document titled `title` with one panel per curve: the needle position against the
// simulator value, the course limits, the calibration points with their dial values, and
// whether the module inverts the needle. Each panel's group carries its points as attributes
// (data-values: the values as typed, data-shown: what kavri-gauge prints for each, separated
// by commas), so a reader can check the picture against the calculator.
std::string gauge_plot_svg(std::string_view title, std::span<const GaugeCurve> curves);

}  // namespace kavri
