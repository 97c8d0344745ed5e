#include "ui/widgets_fltk.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace kavri::fltk_ui {

namespace {

constexpr int kTickBand = 5;  // pixels under the knob that carry the tick marks

// The knob's width as Fl_Slider sizes a "nice" knob, so that the marks sit under its centre.
int nice_knob_width(const Fl_Slider& slider, int length, int thickness) {
  const int by_size = static_cast<int>(slider.slider_size() * static_cast<float>(length) + 0.5f);
  return std::max(by_size, thickness / 2 + 1 + 4);
}

// The place of `value` within [min, max] as 0..1; an empty range puts it at the start.
double fraction(double value, double min, double max) {
  if (max <= min) return 0.0;
  return std::clamp((value - min) / (max - min), 0.0, 1.0);
}

struct Point {
  int x, y;
};

// A point at `radius` from the centre in the direction of `fraction` of a dial's sweep.
Point on_sweep(double cx, double cy, double radius, double fraction_of_sweep) {
  constexpr double kStartDegrees = 225.0, kSweepDegrees = 270.0;
  const double angle = (kStartDegrees - kSweepDegrees * fraction_of_sweep) * std::numbers::pi / 180;
  return {static_cast<int>(std::lround(cx + radius * std::cos(angle))),
          static_cast<int>(std::lround(cy - radius * std::sin(angle)))};
}

}  // namespace

TickedSlider::TickedSlider(int x, int y, int w, int h) : Fl_Slider(x, y, w, h) {
  type(FL_HOR_NICE_SLIDER);
  box(FL_FLAT_BOX);
  step(1);
}

void TickedSlider::tick_step(int step) {
  tick_step_ = std::max(step, 0);
  redraw();
}

TickedSlider::Area TickedSlider::knob_area() const {
  Area area{x() + Fl::box_dx(box()), y() + Fl::box_dy(box()), w() - Fl::box_dw(box()),
            h() - Fl::box_dh(box())};
  if (tick_step_ > 0 && area.h > 2 * kTickBand) area.h -= kTickBand;
  return area;
}

void TickedSlider::draw() {
  draw_box();  // the whole face, tick band included, so that a moved knob leaves no trace
  const Area area = knob_area();
  Fl_Slider::draw(area.x, area.y, area.w, area.h);
  if (tick_step_ > 0) draw_ticks(area);
}

void TickedSlider::draw_ticks(const Area& area) {
  const double low = minimum(), high = maximum();
  if (high <= low) return;
  const int knob = nice_knob_width(*this, area.w, area.h);
  const int band_top = area.y + area.h + 1;
  fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
  // Stepping in integers keeps the mark count exact; a range of more marks than pixels would
  // only paint the band solid, so such a range shows its two ends only.
  const double steps = (high - low) / tick_step_;
  const bool every_step = steps <= area.w / 2.0;
  for (double v = low; v <= high; v += every_step ? tick_step_ : (high - low)) {
    const int at =
        area.x + knob / 2 + static_cast<int>(std::lround(fraction(v, low, high) * (area.w - knob)));
    fl_line(at, band_top, at, band_top + kTickBand - 2);
  }
}

int TickedSlider::handle(int event) {
  if (event == FL_PUSH && Fl::visible_focus()) {
    Fl::focus(this);
    redraw();
  }
  const Area area = knob_area();
  return Fl_Slider::handle(event, area.x, area.y, area.w, area.h);
}

Dial::Dial(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {
  align(FL_ALIGN_INSIDE);  // the caption is drawn on the face, never by the parent group
  labelsize(11);
}

void Dial::range(int min, int max) {
  min_ = min;
  max_ = max;
  redraw();
}

void Dial::value(int value) {
  if (value == value_) return;
  value_ = value;
  redraw();
}

void Dial::draw() {
  fl_color(parent() != nullptr ? parent()->color() : FL_BACKGROUND_COLOR);
  fl_rectf(x(), y(), w(), h());
  const int d = std::min(w(), h()) - 2;
  if (d < 10) return;
  const int left = x() + (w() - d) / 2, top = y() + (h() - d) / 2;
  const double cx = left + d / 2.0, cy = top + d / 2.0;
  const bool lit = active_r();

  fl_color(FL_DARK3);
  fl_pie(left, top, d, d, 0, 360);  // bezel
  fl_color(fl_rgb_color(24, 24, 28));
  fl_pie(left + 3, top + 3, d - 6, d - 6, 0, 360);

  const double outer = d / 2.0 - 6;
  const Fl_Color marks = lit ? FL_WHITE : FL_DARK1;
  fl_color(marks);
  constexpr int kMinorPerMajor = 5, kMajors = 10;
  for (int i = 0; i <= kMajors * kMinorPerMajor; ++i) {
    const bool major = i % kMinorPerMajor == 0;
    const double f = static_cast<double>(i) / (kMajors * kMinorPerMajor);
    const Point from = on_sweep(cx, cy, outer - d * (major ? 0.12 : 0.06), f);
    const Point to = on_sweep(cx, cy, outer, f);
    fl_line_style(FL_SOLID | FL_CAP_FLAT, major ? 2 : 1);
    fl_line(from.x, from.y, to.x, to.y);
  }
  fl_line_style(0);

  fl_font(FL_HELVETICA, std::max(8, d / 12));
  if (d >= 80) {  // the range's ends, where there is room to read them
    for (const auto& [f, number] : {std::pair{0.0, min_}, std::pair{1.0, max_}}) {
      const Point at = on_sweep(cx, cy, outer - d * 0.22, f);
      fl_draw(std::to_string(number).c_str(), at.x - 20, at.y - 8, 40, 16, FL_ALIGN_CENTER);
    }
  }
  if (label() != nullptr) {
    fl_font(labelfont(), labelsize());
    fl_draw(label(), left, static_cast<int>(cy - d * 0.28), d, labelsize() + 4, FL_ALIGN_CENTER);
  }

  const double f = fraction(value_, min_, max_);
  const Point tip = on_sweep(cx, cy, outer - 2, f);
  const Point base_left = on_sweep(cx, cy, 3.5, f + 0.3333);  // a quarter turn each side
  const Point base_right = on_sweep(cx, cy, 3.5, f - 0.3333);
  fl_color(lit ? fl_rgb_color(255, 130, 0) : FL_DARK2);
  fl_polygon(tip.x, tip.y, base_left.x, base_left.y, base_right.x, base_right.y);
  const int hub = std::max(6, d / 10);
  fl_color(FL_GRAY);
  fl_pie(static_cast<int>(cx) - hub / 2, static_cast<int>(cy) - hub / 2, hub, hub, 0, 360);
}

Lamp::Lamp(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {
  align(FL_ALIGN_INSIDE);  // drawn beside the light by draw(), never by the parent group
}

void Lamp::value(int value) {
  if (value == value_) return;
  value_ = value;
  redraw();
}

void Lamp::draw() {
  fl_color(parent() != nullptr ? parent()->color() : FL_BACKGROUND_COLOR);
  fl_rectf(x(), y(), w(), h());
  const int d = std::min(w(), h()) - 2;
  if (d < 4) return;
  const bool beside = w() > h();
  const int left = beside ? x() + 1 : x() + (w() - d) / 2, top = y() + (h() - d) / 2;
  fl_color(FL_BLACK);
  fl_pie(left, top, d, d, 0, 360);
  fl_color(value_ != 0 ? fl_rgb_color(40, 230, 40) : fl_rgb_color(70, 70, 70));
  fl_pie(left + 2, top + 2, d - 4, d - 4, 0, 360);
  if (value_ != 0 && d >= 10) {  // a highlight, so that lit reads as light and not as paint
    fl_color(fl_rgb_color(200, 255, 200));
    fl_pie(left + d / 4, top + d / 5, d / 4, d / 4, 0, 360);
  }
  if (beside && label() != nullptr) {
    fl_font(labelfont(), labelsize());
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    fl_draw(label(), left + d + 6, y(), w() - d - 6, h(), FL_ALIGN_LEFT | FL_ALIGN_CLIP);
  }
}

}  // namespace kavri::fltk_ui
