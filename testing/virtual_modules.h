// Virtual modules for tests: a module at a bus address with its gauge types, both courses at
// 0-255 and every other parameter 0.
#pragma once

#include <cstdint>
#include <vector>

#include "bus_model/module_params.h"
#include "virtual/virtual_card.h"

namespace kavri::testing {

inline VirtualModule module_at(std::uint8_t address, int gauge1_type = 1, int gauge2_type = 1) {
  VirtualModule module;
  module.address = address;
  module.set_param(Param::gauge1_type, gauge1_type);
  module.set_param(Param::gauge2_type, gauge2_type);
  module.set_param(Param::gauge1_course_max, 255);
  module.set_param(Param::gauge2_course_max, 255);
  return module;
}

// A module whose gauges are linear (type 2) over the simulator's 0-16383, read as 2 bytes at
// `gauge1_offset` and `gauge2_offset` (0: the gauge is undriven).
inline VirtualModule linear_module(std::uint8_t address, std::uint16_t gauge1_offset,
                                   std::uint16_t gauge2_offset = 0) {
  VirtualModule module = module_at(address, 2, 2);
  module.set_param(Param::gauge1_offset, gauge1_offset);
  module.set_param(Param::gauge2_offset, gauge2_offset);
  for (Param p : {Param::gauge1_offset_length, Param::gauge2_offset_length}) module.set_param(p, 2);
  for (Param p : {Param::gauge1_sim_max, Param::gauge2_sim_max}) module.set_param(p, 16383);
  return module;
}

// `module` with an analog input (a lever) written as 2 bytes at `offset`, reporting `value`.
inline VirtualModule with_lever(VirtualModule module, std::uint16_t offset, std::uint16_t value) {
  module.set_param(Param::analog_offset, offset);
  module.set_param(Param::analog_offset_length, 2);
  module.analog_value = value;
  return module;
}

// `count` modules at consecutive addresses from `first_address`, all of gauge type 1.
inline std::vector<VirtualModule> modules_at(int first_address, int count) {
  std::vector<VirtualModule> modules;
  for (int i = 0; i < count; ++i) {
    modules.push_back(module_at(static_cast<std::uint8_t>(first_address + i), 1));
  }
  return modules;
}

}  // namespace kavri::testing
