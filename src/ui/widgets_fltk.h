// The FLTK widgets that FLTK does not offer as such: a slider with tick marks, a round gauge
// dial with a needle and a round output lamp. Used by the FLTK toolkit backend only.
#pragma once

#include <FL/Fl_Slider.H>
#include <FL/Fl_Widget.H>

namespace kavri::fltk_ui {

// A horizontal integer slider; with a tick step, a band along its bottom edge carries a mark at
// every step of the range, each under the knob's centre at that value.
class TickedSlider : public Fl_Slider {
 public:
  TickedSlider(int x, int y, int w, int h);
  void tick_step(int step);

 protected:
  void draw() override;
  int handle(int event) override;

 private:
  // The area the knob moves in: the whole widget less its box and the tick band.
  struct Area {
    int x, y, w, h;
  };
  Area knob_area() const;
  void draw_ticks(const Area& area);
  int tick_step_ = 0;
};

// A gauge face: graduations over a 270 degree sweep from lower left, clockwise, to lower right,
// and a needle at the value's place in its range. The caption is written above the hub.
class Dial : public Fl_Widget {
 public:
  Dial(int x, int y, int w, int h);
  void range(int min, int max);
  void value(int value);
  int value() const { return value_; }

 protected:
  void draw() override;

 private:
  int min_ = 0, max_ = 0, value_ = 0;
};

// A round light, lit while its value is not 0; the caption stands to its right when the
// widget is wider than tall.
class Lamp : public Fl_Widget {
 public:
  Lamp(int x, int y, int w, int h);
  void value(int value);
  int value() const { return value_; }

 protected:
  void draw() override;

 private:
  int value_ = 0;
};

}  // namespace kavri::fltk_ui
