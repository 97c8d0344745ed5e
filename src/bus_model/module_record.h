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

struct ModuleRecord {
  // Parameters, as stored in the module's EEPROM.
  Relaxed<std::uint8_t> address;
  Relaxed<std::uint8_t> gauge1_type;
  Relaxed<std::uint8_t> gauge2_type;
  Relaxed<std::uint16_t> gauge1_offset;
  Relaxed<std::uint16_t> gauge2_offset;
  Relaxed<std::uint8_t> gauge1_offset_length;
  Relaxed<std::uint8_t> gauge2_offset_length;
  Relaxed<std::uint8_t> gauge1_course_min;
  Relaxed<std::uint8_t> gauge1_course_max;
  Relaxed<std::uint8_t> gauge1_inverted;
  Relaxed<std::uint8_t> gauge2_inverted;
  Relaxed<std::int16_t> gauge1_sim_min;
  Relaxed<std::int32_t> gauge1_sim_max;  // holds a 16-bit quantity
  Relaxed<std::uint8_t> gauge2_course_min;
  Relaxed<std::uint8_t> gauge2_course_max;
  Relaxed<std::int16_t> gauge2_sim_min;
  Relaxed<std::int32_t> gauge2_sim_max;  // holds a 16-bit quantity
  Relaxed<std::uint16_t> output1_offset;
  Relaxed<std::uint16_t> output2_offset;
  Relaxed<std::uint8_t> output1_offset_length;
  Relaxed<std::uint8_t> output2_offset_length;
  Relaxed<std::uint8_t> output1_type;
  Relaxed<std::uint8_t> output2_type;
  Relaxed<std::uint16_t> analog_offset;
  Relaxed<std::uint8_t> analog_offset_length;
  Relaxed<std::uint8_t> analog_type;
  Relaxed<std::uint16_t> analog_param;
  Relaxed<std::uint8_t> output1_inverted;
  Relaxed<std::uint8_t> output2_inverted;

  // Derived at the end of the exploration (compute_ratio).
  Relaxed<float> gauge1_ratio;
  Relaxed<float> gauge2_ratio;

  // Working fields of the transfer cycle (transfer thread only).
  ReceiveAreas gauge1_value;
  ReceiveAreas gauge2_value;
  ReceiveAreas output1_value;
  ReceiveAreas output2_value;
  std::uint8_t gauge1_last_position = 0;
  std::uint8_t gauge2_last_position = 0;
  std::uint8_t output1_last_value = 0;
  std::uint8_t output2_last_value = 0;
  std::uint16_t analog_value = 0;  // the last analog value received from the module
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
