// What the driver knows of each module on the bus. Parameter fields are shared between threads
// (the exploration fills them, the main thread edits them, the transfer thread reads them), so
// each is a Relaxed value that no reader can see half-written. Working fields of the transfer
// cycle are touched by the transfer thread alone and stay plain.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "base/relaxed.h"

namespace kavri {

constexpr int MAX_MODULES = 51;

// The four places a simulator value of one gauge or output can be received in, by its length.
struct ReceiveAreas {
  double value_f64 = 0;         // length 8
  std::int32_t value_i32 = 0;   // length 4
  std::uint16_t value_u16 = 0;  // length 2
  std::int8_t value_i8 = 0;     // length 1
};

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

  // Working fields of the transfer cycle (transfer thread only).
  ReceiveAreas value;
  std::uint8_t last_position = 0;
};

// One output of a module: output1_* or output2_*.
struct OutputRecord {
  Relaxed<std::uint16_t> offset;
  Relaxed<std::uint8_t> offset_length;
  Relaxed<std::uint8_t> type;
  Relaxed<std::uint8_t> inverted;

  ReceiveAreas value;           // transfer thread only
  std::uint8_t last_value = 0;  // transfer thread only
};

struct ModuleRecord {
  Relaxed<std::uint8_t> address;
  std::array<GaugeRecord, 2> gauges;    // gauge 1, gauge 2
  std::array<OutputRecord, 2> outputs;  // output 1, output 2
  Relaxed<std::uint16_t> analog_offset;
  Relaxed<std::uint8_t> analog_offset_length;
  Relaxed<std::uint8_t> analog_type;
  Relaxed<std::uint16_t> analog_param;

  std::uint16_t analog_value = 0;  // the last analog value received (transfer thread only)
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
