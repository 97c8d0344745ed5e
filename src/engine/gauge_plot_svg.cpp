#include "engine/gauge_plot_svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace kavri {
namespace {

constexpr double WIDTH = 760;
constexpr double PANEL_HEIGHT = 380;
constexpr double TITLE_HEIGHT = 40;
constexpr double LEFT = 70;    // room for the position axis
constexpr double RIGHT = 110;  // room for the dial's units and the course labels
constexpr double TOP = 46;     // the panel's title and the inversion note
constexpr double BOTTOM = 46;  // the value axis

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A coordinate or a tick value: a whole number as it is, another with at most 6 significant
// digits.
std::string number(double value) {
  char digits[32];
  const double rounded = std::round(value);
  const auto end =
      std::abs(value - rounded) < 1e-6
          ? std::to_chars(digits, digits + sizeof digits, static_cast<long long>(rounded))
          : std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 6);
  return std::string(digits, end.ptr);
}

// Where a panel's values and positions land on the page.
struct Frame {
  double top = 0;
  const GaugeCurve& curve;
  double left() const { return LEFT; }
  double right() const { return WIDTH - RIGHT; }
  double plot_top() const { return top + TOP; }
  double plot_bottom() const { return top + PANEL_HEIGHT - BOTTOM; }
  double x(double value) const {
    const double span = curve.to - curve.from;
    const double share = span > 0 ? (value - curve.from) / span : 0.5;
    return left() + share * (right() - left());
  }
  double y(double position) const {
    return plot_bottom() - position / curve.position_max * (plot_bottom() - plot_top());
  }
};

void text(std::string& svg, double x, double y, std::string_view anchor, std::string_view content,
          std::string_view extra = "") {
  svg += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" text-anchor=\"" +
         std::string(anchor) + "\"" + std::string(extra) + ">" + escaped(content) + "</text>\n";
}

void line(std::string& svg, double x1, double y1, double x2, double y2, std::string_view style) {
  svg += "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) +
         "\" y2=\"" + number(y2) + "\" " + std::string(style) + "/>\n";
}

void axes(std::string& svg, const Frame& f) {
  const GaugeCurve& c = f.curve;
  svg += "<rect x=\"" + number(f.left()) + "\" y=\"" + number(f.plot_top()) + "\" width=\"" +
         number(f.right() - f.left()) + "\" height=\"" + number(f.plot_bottom() - f.plot_top()) +
         "\" fill=\"#fbfbf8\" stroke=\"#444\"/>\n";
  for (int i = 0; i <= 4; ++i) {
    const double position = std::round(c.position_max * i / 4.0);
    line(svg, f.left(), f.y(position), f.right(), f.y(position), "stroke=\"#ddd\"");
    text(svg, f.left() - 6, f.y(position) + 4, "end", number(position));
    const double value = c.from + (c.to - c.from) * i / 4;
    line(svg, f.x(value), f.plot_bottom(), f.x(value), f.plot_bottom() + 5, "stroke=\"#444\"");
    text(svg, f.x(value), f.plot_bottom() + 18, "middle", number(value));
  }
  text(svg, (f.left() + f.right()) / 2, f.plot_bottom() + 38, "middle", "valeur du simulateur");
  text(svg, 16, (f.plot_top() + f.plot_bottom()) / 2, "middle", "position de l'aiguille",
       " transform=\"rotate(-90 16 " + number((f.plot_top() + f.plot_bottom()) / 2) + ")\"");
}

void course_limits(std::string& svg, const Frame& f) {
  const GaugeCurve& c = f.curve;
  if (c.position_max != 255) return;  // a split type's 16-bit position skips the course step
  const std::pair<int, std::string_view> limits[] = {{c.course_min, "course mini "},
                                                     {c.course_max, "course maxi "}};
  for (const auto& [limit, label] : limits) {
    const double y = f.y(limit);
    line(svg, f.left(), y, f.right(), y,
         "stroke=\"#c0392b\" stroke-dasharray=\"6 4\" class=\"course\"");
    text(svg, f.right() + 6, y + 4, "start", std::string(label) + std::to_string(limit),
         " fill=\"#c0392b\" font-size=\"11\"");
  }
}

void calibration_marks(std::string& svg, const Frame& f) {
  for (const CalibrationMark& mark : f.curve.marks) {
    const double x = f.x(mark.value);
    const double y = f.y(mark.position);
    svg += "<circle cx=\"" + number(x) + "\" cy=\"" + number(y) +
           "\" r=\"4.5\" fill=\"none\" stroke=\"#e67e22\" stroke-width=\"2\" class=\"point\"/>\n";
    // Labels beside the point, on its left near the right edge.
    const bool near_edge = x > f.right() - 90;
    text(svg, near_edge ? x - 7 : x + 7, y - 7, near_edge ? "end" : "start",
         number(mark.dial) + " " + std::string(f.curve.dial_unit) + " : " +
             std::to_string(mark.position),
         " fill=\"#a04000\" font-size=\"11\" stroke=\"white\" stroke-width=\"3\" "
         "paint-order=\"stroke\"");
  }
}

void curve_line(std::string& svg, const Frame& f) {
  const GaugeCurve& c = f.curve;
  std::string values;
  std::string shown;
  std::string points;
  for (const CurvePoint& p : c.points) {
    values += (values.empty() ? "" : " ") + p.value_text;
    shown += (shown.empty() ? "" : ",") + p.shown_text;
    points += number(f.x(p.value)) + "," + number(f.y(p.position)) + " ";
  }
  svg += "<g class=\"curve\" data-gauge=\"" + std::to_string(c.gauge) + "\" data-values=\"" +
         values + "\" data-shown=\"" + shown + "\">\n<polyline points=\"" + points +
         "\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"2\" stroke-linejoin=\"round\"/>\n"
         "</g>\n";
}

void panel(std::string& svg, const Frame& f) {
  const GaugeCurve& c = f.curve;
  text(svg, f.left(), f.top + 18, "start",
       "jauge " + std::to_string(c.gauge) + " : " + std::string(c.type_name),
       " font-weight=\"bold\"");
  text(svg, f.left(), f.top + 36, "start",
       c.inverted ? "inversion cochée : le module fait tourner l'aiguille dans l'autre sens"
                  : "inversion non cochée",
       c.inverted ? " fill=\"#c0392b\" font-size=\"12\"" : " fill=\"#555\" font-size=\"12\"");
  axes(svg, f);
  course_limits(svg, f);
  curve_line(svg, f);
  calibration_marks(svg, f);
}

}  // namespace

std::string gauge_plot_svg(std::string_view title, std::span<const GaugeCurve> curves) {
  const double height = TITLE_HEIGHT + PANEL_HEIGHT * static_cast<double>(curves.size());
  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      number(WIDTH) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(WIDTH) + " " +
      number(height) +
      "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"12\">\n<title>" +
      escaped(title) + "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  text(svg, WIDTH / 2, 26, "middle", title, " font-size=\"16\" font-weight=\"bold\"");
  for (std::size_t i = 0; i < curves.size(); ++i) {
    panel(svg, Frame{TITLE_HEIGHT + PANEL_HEIGHT * static_cast<double>(i), curves[i]});
  }
  return svg + "</svg>\n";
}

}  // namespace kavri
