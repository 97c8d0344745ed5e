#include "engine/gauge_steps.h"

#include "base/rounding.h"
#include "device/bus_messages.h"
#include "modules/gauge_catalogue.h"

namespace kavri {
namespace {

double load(const ReceiveAreas& areas, std::uint8_t length) {
  switch (length) {
    case 8:
      return areas.value_f64;
    case 4:
      return areas.value_i32;
    case 2:
      return areas.value_u16;
    default:
      return areas.value_i8;
  }
}

template <int Points>
std::array<std::uint8_t, Points> points_of(const CalibrationSlot<Points>& slot, int g) {
  std::array<std::uint8_t, Points> points{};
  for (std::size_t k = 0; k < points.size(); ++k) points[k] = slot[2 * k + g].load();
  return points;
}

ConversionInputs conversion_inputs(const ModuleRecord& m, const CalibrationTables& tables,
                                   int module_index, int gauge, const TransferWork& work) {
  ConversionInputs in;
  const bool first = gauge == 1;
  in.gauge = gauge_settings(m, gauge);
  in.value_u16 = first ? m.gauge1_value.value_u16 : m.gauge2_value.value_u16;
  in.gauge2_type = m.gauge2_type;
  in.output2_offset_length = m.output2_offset_length;
  in.glide_flag = work.glide_flag;
  in.sim_battery = work.sim_battery_low;
  in.calibration = calibration_points(tables, module_index, gauge, in.gauge.type);
  return in;
}

}  // namespace

GaugeSettings gauge_settings(const ModuleRecord& m, int gauge) {
  const bool first = gauge == 1;
  GaugeSettings settings;
  settings.type = first ? m.gauge1_type : m.gauge2_type;
  settings.ratio = first ? m.gauge1_ratio : m.gauge2_ratio;
  settings.course_min = first ? m.gauge1_course_min : m.gauge2_course_min;
  settings.course_max = first ? m.gauge1_course_max : m.gauge2_course_max;
  settings.sim_min = first ? m.gauge1_sim_min : m.gauge2_sim_min;
  settings.sim_max = first ? m.gauge1_sim_max : m.gauge2_sim_max;
  settings.offset_length = first ? m.gauge1_offset_length : m.gauge2_offset_length;
  return settings;
}

void* receive_area(ReceiveAreas& areas, std::uint8_t length) {
  switch (length) {
    case 8:
      return &areas.value_f64;
    case 4:
      return &areas.value_i32;
    case 2:
      return &areas.value_u16;
    case 1:
      return &areas.value_i8;
    default:
      return nullptr;
  }
}

bool has_receive_area(std::uint8_t length) {
  return length == 1 || length == 2 || length == 4 || length == 8;
}

GaugeCalibration calibration_points(const CalibrationTables& tables, int module_index, int gauge,
                                    int type) {
  GaugeCalibration points;
  const auto kind = calibration_kind_of_type(type);
  if (!kind || module_index < 0 || module_index >= CALIBRATION_SLOTS) return points;
  const auto slot = static_cast<std::size_t>(module_index);
  const int g = gauge == 1 ? 0 : 1;
  switch (*kind) {
    case CalibrationKind::suction:
      points.suction = points_of<SUCTION_POINTS>(tables.suction_calibration[slot], g);
      break;
    case CalibrationKind::oat:
      points.oat = points_of<OAT_POINTS>(tables.oat_calibration[slot], g);
      break;
    case CalibrationKind::fuel:
      points.fuel = points_of<FUEL_POINTS>(tables.fuel_calibration[slot], g);
      break;
  }
  return points;
}

BusCommands gauge1_step(ModuleRecord& m, const CalibrationTables& tables, int module_index,
                        TransferWork& work, bool resend) {
  BusCommands commands;
  const std::uint8_t length = m.gauge1_offset_length;
  if (m.gauge1_offset == 0 || !has_receive_area(length)) return commands;
  work.working_value = load(m.gauge1_value, length);
  const ConversionInputs in = conversion_inputs(m, tables, module_index, 1, work);
  const auto position = convert_gauge1(in, work.working_value);
  if (!position) return commands;
  const bool split = is_split_type(in.gauge.type);
  if (split) {
    work.position1 = position->low;
    work.position2 = position->high;
  } else {
    work.position1 = common_position_step(position->low, in.gauge.course_min, in.gauge.course_max);
  }
  // A split position is sent only when its low byte changes; the high byte follows it.
  if (!work.send_unchanged && !resend && work.position1 == m.gauge1_last_position) {
    return commands;
  }
  m.gauge1_last_position = work.position1;
  commands.add(CMD_SET_POSITION_1, work.position1);
  if (split) commands.add(CMD_SET_POSITION_2, work.position2);
  return commands;
}

BusCommands gauge2_step(ModuleRecord& m, const CalibrationTables& tables, int module_index,
                        TransferWork& work, bool resend) {
  BusCommands commands;
  const std::uint8_t length = m.gauge2_offset_length;
  if (m.gauge2_offset == 0 || !has_receive_area(length)) return commands;
  work.working_value = load(m.gauge2_value, length);
  const ConversionInputs in = conversion_inputs(m, tables, module_index, 2, work);
  const auto position = convert_gauge2(in, work.working_value);
  if (!position) return commands;
  work.position2 = common_position_step(*position, in.gauge.course_min, in.gauge.course_max);
  if (!work.send_unchanged && !resend && work.position2 == m.gauge2_last_position) {
    return commands;
  }
  m.gauge2_last_position = work.position2;
  commands.add(CMD_SET_POSITION_2, work.position2);
  return commands;
}

BusCommands output_step(ModuleRecord& m, int output, TransferWork& work) {
  BusCommands commands;
  const bool first = output == 1;
  const std::uint16_t offset = first ? m.output1_offset : m.output2_offset;
  const std::uint8_t length = first ? m.output1_offset_length : m.output2_offset_length;
  if (offset == 0 || !has_receive_area(length)) return commands;
  work.working_value = load(first ? m.output1_value : m.output2_value, length);
  // The module reads the byte by its output type: -1 arrives as 255, 257 as 1.
  const std::uint8_t value = round_to_byte(work.working_value);
  std::uint8_t& last = first ? m.output1_last_value : m.output2_last_value;
  if (!work.send_unchanged && value == last) return commands;
  last = value;
  commands.add(first ? CMD_SET_OUTPUT_1 : CMD_SET_OUTPUT_2, value);
  return commands;
}

}  // namespace kavri
