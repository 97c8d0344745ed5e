// The range of the main window's position slider 1, which follows the type of the gauge 1 it
// tests: a byte for most types, 0-359 degrees for the needles that turn a full circle, the
// whole 16-bit range for the raw 16-bit types.
#pragma once

#include "ui/toolkit.h"

namespace kavri {

// Why the range changes. The two moments have always widened the range for different type
// sets: selecting a module in the main window widens it for types 16, 17, 19 and 24 (359) and
// 31 and 32 (65,535); choosing a type in the parameter window widens it only for 16, 17 and 19,
// and narrows it to a byte for the rest. Users know the sliders this way, so both sets stay.
enum class SliderRangeCause { module_selected, type_chosen };

// The maximum of position slider 1 for a gauge-1 `type`.
int position_slider_max(int type, SliderRangeCause cause);

// Position slider 1 and the field that shows its value.
struct PositionSlider {
  int slider = 0;
  int value_field = 0;
};

// Sets slider 1's maximum; a byte-wide range first brings a slider standing above 255 back to
// 255, and its value field with it.
void set_position_slider_max(Toolkit& ui, PositionSlider controls, int max);

}  // namespace kavri
