// What the driver knows of each module on the bus: its parameters, as stored in its EEPROM.
// They are shared between threads (the exploration fills them, the main thread edits them, the
// transfer thread reads them), so each is a Relaxed value that no reader can see half-written.
// What the transfer cycle receives and sends is its own (engine/module_transfer.h).
#pragma once

#include <array>
#include <cstdint>

#include "base/relaxed.h"

namespace kavri {

constexpr int MAX_MODULES = 51;

// One gauge (needle) of a module: gauge1_* or gauge2_* of the EEPROM and of a ".jcf" file.
struct GaugeRecord {
  // Parameters, as stored in the module's EEPROM.
  Relaxed<std::uint8_t> type;
  Relaxed<std::uint16_t> offset;
  Relaxed<std::uint8_t> offset_length;
  Relaxed<std::uint8_t> course_min;
  Relaxed<std::uint8_t> course_max;
  Relaxed<std::uint8_t> inverted;
  Relaxed<std::int16_t> sim_min;
  Relaxed<std::int32_t> sim_max;  // holds a 16-bit quantity

  // Derived at the end of the exploration (compute_ratio).
  Relaxed<float> ratio;
};

// One output of a module: output1_* or output2_*.
struct OutputRecord {
  Relaxed<std::uint16_t> offset;
  Relaxed<std::uint8_t> offset_length;
  Relaxed<std::uint8_t> type;
  Relaxed<std::uint8_t> inverted;
};

struct ModuleRecord {
  Relaxed<std::uint8_t> address;
  std::array<GaugeRecord, 2> gauges;    // gauge 1, gauge 2
  std::array<OutputRecord, 2> outputs;  // output 1, output 2
  Relaxed<std::uint16_t> analog_offset;
  Relaxed<std::uint8_t> analog_offset_length;
  Relaxed<std::uint8_t> analog_type;
  Relaxed<std::uint16_t> analog_param;
};

struct ModuleTable {
  std::array<ModuleRecord, MAX_MODULES> records{};
  // Raised only by the exploration; records at or beyond it stay zero.
  Relaxed<std::uint8_t> module_count;
};

// Simulator units per position step of each gauge:
// (sim_max's low 16 bits, unsigned - sim_min) / (course_max - course_min), as a float.
// A zero denominator (course_max == course_min) gives a ratio of 0; the conversions treat a
// ratio of 0 as "no scale" (see the engine), so it never divides by zero.
void compute_ratio(ModuleRecord& record);

}  // namespace kavri
