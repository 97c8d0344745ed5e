#include "engine/gauge_steps.h"

#include "base/rounding.h"
#include "bus_model/gauge_types.h"
#include "device/bus_messages.h"

namespace kavri {
namespace {

double load(const ReceiveAreas& areas, std::uint8_t length) {
  double value = 0;
  with_receive_area(areas, length, [&](const auto& area) { value = area; });
  return value;
}

template <int Points>
std::array<std::uint8_t, Points> points_of(const CalibrationSlot<Points>& slot, int g) {
  std::array<std::uint8_t, Points> points{};
  for (std::size_t k = 0; k < points.size(); ++k) points[k] = slot[2 * k + g].load();
  return points;
}

ConversionInputs conversion_inputs(const ModuleRecord& m, const ReceiveAreas& received,
                                   const CalibrationTables& tables, int module_index, int gauge,
                                   const TransferWork& work) {
  ConversionInputs in;
  in.gauge = gauge_settings(m, gauge + 1);
  in.value_u16 = received.value_u16;
  in.gauge2_type = m.gauges[1].type;
  in.output2_offset_length = m.outputs[1].offset_length;
  in.glide_flag = work.glide_flag;
  in.sim_battery = work.sim_battery_low;
  in.calibration = calibration_points(tables, module_index, gauge + 1, in.gauge.type);
  return in;
}

// The gauge's conversion; gauge 2's position is one byte.
std::optional<GaugePosition> convert(const ConversionInputs& in, int gauge, double& value) {
  if (gauge == 0) return convert_gauge1(in, value);
  const std::optional<std::uint8_t> low = convert_gauge2(in, value);
  if (!low) return std::nullopt;
  return GaugePosition{*low, 0};
}

}  // namespace

GaugeSettings gauge_settings(const ModuleRecord& m, int gauge) {
  const GaugeRecord& g = m.gauges[static_cast<std::size_t>(gauge - 1)];
  GaugeSettings settings;
  settings.type = g.type;
  settings.ratio = g.ratio;
  settings.course_min = g.course_min;
  settings.course_max = g.course_max;
  settings.sim_min = g.sim_min;
  settings.sim_max = g.sim_max;
  settings.offset_length = g.offset_length;
  return settings;
}

void* receive_area(ReceiveAreas& areas, std::uint8_t length) {
  void* area = nullptr;
  with_receive_area(areas, length, [&](auto& typed) { area = &typed; });
  return area;
}

bool has_receive_area(std::uint8_t length) {
  ReceiveAreas areas;
  return with_receive_area(areas, length, [](auto&) {});
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

BusCommands gauge_step(const ModuleRecord& m, ModuleTransfer& t, int gauge,
                       const CalibrationTables& tables, int module_index, TransferWork& work,
                       bool resend) {
  BusCommands commands;
  const GaugeRecord& g = m.gauges[static_cast<std::size_t>(gauge)];
  GaugeTransfer& transfer = t.gauges[static_cast<std::size_t>(gauge)];
  const std::uint8_t length = g.offset_length;
  if (g.offset == 0 || !has_receive_area(length)) return commands;
  work.working_value = load(transfer.value, length);
  const ConversionInputs in =
      conversion_inputs(m, transfer.value, tables, module_index, gauge, work);
  const auto position = convert(in, gauge, work.working_value);
  if (!position) return commands;
  const bool first = gauge == 0;
  const bool split = first && is_split_type(in.gauge.type);
  std::uint8_t& sent = first ? work.position1 : work.position2;
  if (split) {
    work.position1 = position->low;
    work.position2 = position->high;
  } else {
    sent = common_position_step(position->low, in.gauge.course_min, in.gauge.course_max);
  }
  // A split position is sent only when its low byte changes; the high byte follows it.
  if (!work.send_unchanged && !resend && sent == transfer.last_position) return commands;
  transfer.last_position = sent;
  commands.add(first ? CMD_SET_POSITION_1 : CMD_SET_POSITION_2, sent);
  if (split) commands.add(CMD_SET_POSITION_2, work.position2);
  return commands;
}

BusCommands output_step(const ModuleRecord& m, ModuleTransfer& t, int output, TransferWork& work) {
  BusCommands commands;
  const OutputRecord& o = m.outputs[static_cast<std::size_t>(output)];
  OutputTransfer& transfer = t.outputs[static_cast<std::size_t>(output)];
  const std::uint8_t length = o.offset_length;
  if (o.offset == 0 || !has_receive_area(length)) return commands;
  work.working_value = load(transfer.value, length);
  // The module reads the byte by its output type: -1 arrives as 255, 257 as 1.
  const std::uint8_t value = round_to_byte(work.working_value);
  if (!work.send_unchanged && value == transfer.last_value) return commands;
  transfer.last_value = value;
  commands.add(output == 0 ? CMD_SET_OUTPUT_1 : CMD_SET_OUTPUT_2, value);
  return commands;
}

}  // namespace kavri
