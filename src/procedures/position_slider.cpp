#include "procedures/position_slider.h"

#include "bus_model/gauge_types.h"
#include "device/bus_messages.h"

namespace kavri {

constexpr int BYTE_MAX = 255;
constexpr int FULL_TURN_MAX = 359;
constexpr int RAW_16_BIT_MAX = 65535;

int position_slider_max(int type, SliderRangeCause cause) {
  const bool full_turn = type == 16 || type == 17 || type == 19;
  if (cause == SliderRangeCause::type_chosen) return full_turn ? FULL_TURN_MAX : BYTE_MAX;
  if (full_turn || type == 24) return FULL_TURN_MAX;
  if (is_16_bit_type(type)) return RAW_16_BIT_MAX;
  return BYTE_MAX;  // type 35 takes the x10 rule of the slider but keeps the byte range
}

void set_position_slider_max(Toolkit& ui, PositionSlider controls, int max) {
  if (max == BYTE_MAX && ui.value(controls.slider) > BYTE_MAX) {
    ui.set_value(controls.slider, BYTE_MAX);
    ui.set_text(controls.value_field, "255");
  }
  ui.set_range(controls.slider, 0, max);
}

}  // namespace kavri
