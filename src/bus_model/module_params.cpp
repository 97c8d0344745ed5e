#include "bus_model/module_params.h"

#include <array>

namespace kavri {

namespace {

constexpr std::array<ParamInfo, PARAM_FIELD_COUNT> kInfos{{
    {Param::gauge1_course_min, "gauge1_course_min", false, 51, 0, 150, 0, ParamKind::number,
     "String_Crs_mini1"},
    {Param::gauge1_course_max, "gauge1_course_max", false, 52, 0, 151, 0, ParamKind::number,
     "String_crs_maxi1"},
    {Param::gauge2_course_min, "gauge2_course_min", false, 53, 0, 152, 0, ParamKind::number,
     "String_Crs_mini2"},
    {Param::gauge2_course_max, "gauge2_course_max", false, 54, 0, 153, 0, ParamKind::number,
     "String_crs_maxi2"},
    {Param::gauge1_inverted, "gauge1_inverted", false, 55, 0, 168, 0, ParamKind::inversion_box,
     "CheckBox_invert_1"},
    {Param::gauge2_inverted, "gauge2_inverted", false, 56, 0, 169, 0, ParamKind::inversion_box,
     "CheckBox_invert_2"},
    {Param::gauge1_type, "gauge1_type", false, 57, 0, 185, 0, ParamKind::type_list, "Combo_1_type"},
    {Param::gauge2_type, "gauge2_type", false, 72, 0, 170, 0, ParamKind::type_list, "Combo_2_type"},
    {Param::gauge1_offset, "gauge1_offset", true, 59, 58, 154, 155, ParamKind::offset,
     "String_offset1"},
    {Param::gauge2_offset, "gauge2_offset", true, 61, 60, 156, 157, ParamKind::offset,
     "String_offset2"},
    {Param::gauge1_sim_min, "gauge1_sim_min", true, 63, 62, 158, 159, ParamKind::number,
     "String_Crs_mini_FS_1"},
    {Param::gauge1_sim_max, "gauge1_sim_max", true, 65, 64, 160, 161, ParamKind::number,
     "String_Crs_maxi_FS_1"},
    {Param::gauge2_sim_min, "gauge2_sim_min", true, 67, 66, 162, 163, ParamKind::number,
     "String_Crs_mini_FS_2"},
    {Param::gauge2_sim_max, "gauge2_sim_max", true, 69, 68, 164, 165, ParamKind::number,
     "String_Crs_maxi_FS_2"},
    {Param::gauge1_offset_length, "gauge1_offset_length", false, 70, 0, 166, 0, ParamKind::number,
     "String_Loffset1"},
    {Param::gauge2_offset_length, "gauge2_offset_length", false, 71, 0, 167, 0, ParamKind::number,
     "String_Loffset2"},
    {Param::output1_offset, "output1_offset", true, 74, 73, 171, 172, ParamKind::offset,
     "String_OffsetOut1"},
    {Param::output2_offset, "output2_offset", true, 76, 75, 173, 174, ParamKind::offset,
     "String_OffsetOut2"},
    {Param::output1_offset_length, "output1_offset_length", false, 77, 0, 175, 0, ParamKind::number,
     "String_LOffsetOut1"},
    {Param::output2_offset_length, "output2_offset_length", false, 78, 0, 176, 0, ParamKind::number,
     "String_LOffsetOut2"},
    {Param::output1_type, "output1_type", false, 79, 0, 177, 0, ParamKind::type_list,
     "Combo_Type_Out1"},
    {Param::output2_type, "output2_type", false, 80, 0, 178, 0, ParamKind::type_list,
     "Combo_Type_Out2"},
    {Param::analog_offset, "analog_offset", true, 82, 81, 179, 180, ParamKind::offset,
     "String_OffsetAN1"},
    {Param::analog_offset_length, "analog_offset_length", false, 83, 0, 181, 0, ParamKind::number,
     "String_LOffsetAN1"},
    {Param::analog_type, "analog_type", false, 84, 0, 182, 0, ParamKind::type_list,
     "Combo_TypeAN1"},
    {Param::analog_param, "analog_param", true, 86, 85, 183, 184, ParamKind::number,
     "String_ANParam1"},
    {Param::output1_inverted, "output1_inverted", false, 87, 0, 186, 0, ParamKind::inversion_box,
     "CheckBox_inversion_OUT1"},
    {Param::output2_inverted, "output2_inverted", false, 88, 0, 187, 0, ParamKind::inversion_box,
     "CheckBox_inversion_OUT2"},
}};

constexpr std::array<Param, PARAM_FIELD_COUNT> kGaugeConfigOrder{
    Param::gauge1_course_min,     Param::gauge2_course_min,     Param::gauge1_course_max,
    Param::gauge2_course_max,     Param::gauge1_sim_min,        Param::gauge2_sim_min,
    Param::gauge1_sim_max,        Param::gauge2_sim_max,        Param::gauge1_offset,
    Param::gauge2_offset,         Param::gauge1_offset_length,  Param::gauge2_offset_length,
    Param::gauge1_type,           Param::gauge2_type,           Param::gauge1_inverted,
    Param::gauge2_inverted,       Param::output1_offset,        Param::output2_offset,
    Param::output1_offset_length, Param::output2_offset_length, Param::output1_type,
    Param::output2_type,          Param::output1_inverted,      Param::output2_inverted,
    Param::analog_offset,         Param::analog_offset_length,  Param::analog_type,
    Param::analog_param,
};

// Calls f with the record's field for `param`.
template <typename Record, typename F>
decltype(auto) with_field(Record& r, Param param, F&& f) {
  switch (param) {
    case Param::gauge1_course_min:
      return f(r.gauges[0].course_min);
    case Param::gauge1_course_max:
      return f(r.gauges[0].course_max);
    case Param::gauge2_course_min:
      return f(r.gauges[1].course_min);
    case Param::gauge2_course_max:
      return f(r.gauges[1].course_max);
    case Param::gauge1_inverted:
      return f(r.gauges[0].inverted);
    case Param::gauge2_inverted:
      return f(r.gauges[1].inverted);
    case Param::gauge1_type:
      return f(r.gauges[0].type);
    case Param::gauge2_type:
      return f(r.gauges[1].type);
    case Param::gauge1_offset:
      return f(r.gauges[0].offset);
    case Param::gauge2_offset:
      return f(r.gauges[1].offset);
    case Param::gauge1_sim_min:
      return f(r.gauges[0].sim_min);
    case Param::gauge1_sim_max:
      return f(r.gauges[0].sim_max);
    case Param::gauge2_sim_min:
      return f(r.gauges[1].sim_min);
    case Param::gauge2_sim_max:
      return f(r.gauges[1].sim_max);
    case Param::gauge1_offset_length:
      return f(r.gauges[0].offset_length);
    case Param::gauge2_offset_length:
      return f(r.gauges[1].offset_length);
    case Param::output1_offset:
      return f(r.outputs[0].offset);
    case Param::output2_offset:
      return f(r.outputs[1].offset);
    case Param::output1_offset_length:
      return f(r.outputs[0].offset_length);
    case Param::output2_offset_length:
      return f(r.outputs[1].offset_length);
    case Param::output1_type:
      return f(r.outputs[0].type);
    case Param::output2_type:
      return f(r.outputs[1].type);
    case Param::analog_offset:
      return f(r.analog_offset);
    case Param::analog_offset_length:
      return f(r.analog_offset_length);
    case Param::analog_type:
      return f(r.analog_type);
    case Param::analog_param:
      return f(r.analog_param);
    case Param::output1_inverted:
      return f(r.outputs[0].inverted);
    case Param::output2_inverted:
      return f(r.outputs[1].inverted);
  }
  return f(r.outputs[1].inverted);  // unreachable: every enumerator is handled above
}

// The low bits of `value` that a field of type T holds (modular, never undefined).
template <typename T>
T narrow(std::int64_t value) {
  using U = std::make_unsigned_t<T>;
  return static_cast<T>(static_cast<U>(static_cast<std::uint64_t>(value)));
}

}  // namespace

std::span<const ParamInfo> param_infos() { return kInfos; }

const ParamInfo& param_info(Param param) { return kInfos[static_cast<std::size_t>(param)]; }

std::span<const Param> gauge_config_order() { return kGaugeConfigOrder; }

std::vector<std::string_view> gauge_config_keys() {
  std::vector<std::string_view> keys;
  for (Param param : kGaugeConfigOrder) keys.push_back(param_info(param).jcf_key);
  return keys;
}

std::int64_t param_value_of_state(ParamKind kind, std::int64_t state) {
  switch (kind) {
    case ParamKind::type_list:
      return state + 1;
    case ParamKind::inversion_box:
      return state != 0 ? 255 : 0;
    default:
      return state;
  }
}

std::int64_t read_param(const ModuleRecord& record, Param param) {
  return with_field(record, param, [](const auto& field) -> std::int64_t { return field.load(); });
}

void write_param(ModuleRecord& record, Param param, std::int64_t value) {
  with_field(record, param, [value](auto& field) {
    using T = decltype(field.load());
    field.store(narrow<T>(value));
  });
}

bool apply_param_answer(ModuleRecord& record, std::uint8_t code, std::uint8_t data) {
  for (const auto& info : kInfos) {
    if (code == info.answer_code) {
      write_param(record, info.param, info.two_bytes ? std::int64_t{data} * 256 : data);
      return true;
    }
    if (info.two_bytes && code == info.answer_code_low) {
      write_param(record, info.param, read_param(record, info.param) + data);
      return true;
    }
  }
  return false;
}

void compute_ratio(ModuleRecord& record) {
  for (GaugeRecord& gauge : record.gauges) {
    const int denominator = int{gauge.course_max} - int{gauge.course_min};
    if (denominator == 0) {
      gauge.ratio = 0.0f;
      continue;
    }
    const double numerator =
        double(static_cast<std::uint16_t>(static_cast<std::uint32_t>(gauge.sim_max))) -
        gauge.sim_min;
    gauge.ratio = static_cast<float>(numerator / denominator);
  }
}

}  // namespace kavri
