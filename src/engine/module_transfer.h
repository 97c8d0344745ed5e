// What the transfer cycle keeps of each module between passes: the simulator values it
// received, what it last sent, and the module's analog value. Touched by the transfer thread
// alone (and by the gauge calculator, which runs the same steps on its own copy).
#pragma once

#include <array>
#include <cstdint>

namespace kavri {

// The four places a simulator value of one gauge or output can be received in, by its length.
struct ReceiveAreas {
  double value_f64 = 0;         // length 8
  std::int32_t value_i32 = 0;   // length 4
  std::uint16_t value_u16 = 0;  // length 2
  std::int8_t value_i8 = 0;     // length 1
};

// Calls `use` with the receive area of a value of `length` bytes (1, 2, 4 or 8) and returns
// true. Any other length has no receive area: false, and `use` is not called.
template <typename Areas, typename Use>
bool with_receive_area(Areas& areas, std::uint8_t length, Use&& use) {
  switch (length) {
    case 8:
      use(areas.value_f64);
      return true;
    case 4:
      use(areas.value_i32);
      return true;
    case 2:
      use(areas.value_u16);
      return true;
    case 1:
      use(areas.value_i8);
      return true;
    default:
      return false;
  }
}

struct GaugeTransfer {
  ReceiveAreas value;
  std::uint8_t last_position = 0;  // the last position byte sent
};

struct OutputTransfer {
  ReceiveAreas value;
  std::uint8_t last_value = 0;  // the last output byte sent
};

struct ModuleTransfer {
  std::array<GaugeTransfer, 2> gauges;    // gauge 1, gauge 2
  std::array<OutputTransfer, 2> outputs;  // output 1, output 2
  std::uint16_t analog_value = 0;         // the last analog value received
  // Whether the module answered an analog request in this run of the transfer: only then is
  // its value written to the simulator.
  bool analog_answered = false;
};

}  // namespace kavri
