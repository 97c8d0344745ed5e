#include "modules/module_params.h"

#include <array>
#include <cstring>

namespace kavri {

namespace {

constexpr std::array<ParamInfo, PARAM_FIELD_COUNT> kInfos{{
    {Param::gauge1_course_min, "gauge1_course_min", false, 51, 0, 150, 0},
    {Param::gauge1_course_max, "gauge1_course_max", false, 52, 0, 151, 0},
    {Param::gauge2_course_min, "gauge2_course_min", false, 53, 0, 152, 0},
    {Param::gauge2_course_max, "gauge2_course_max", false, 54, 0, 153, 0},
    {Param::gauge1_inverted, "gauge1_inverted", false, 55, 0, 168, 0},
    {Param::gauge2_inverted, "gauge2_inverted", false, 56, 0, 169, 0},
    {Param::gauge1_type, "gauge1_type", false, 57, 0, 185, 0},
    {Param::gauge2_type, "gauge2_type", false, 72, 0, 170, 0},
    {Param::gauge1_offset, "gauge1_offset", true, 59, 58, 154, 155},
    {Param::gauge2_offset, "gauge2_offset", true, 61, 60, 156, 157},
    {Param::gauge1_sim_min, "gauge1_sim_min", true, 63, 62, 158, 159},
    {Param::gauge1_sim_max, "gauge1_sim_max", true, 65, 64, 160, 161},
    {Param::gauge2_sim_min, "gauge2_sim_min", true, 67, 66, 162, 163},
    {Param::gauge2_sim_max, "gauge2_sim_max", true, 69, 68, 164, 165},
    {Param::gauge1_offset_length, "gauge1_offset_length", false, 70, 0, 166, 0},
    {Param::gauge2_offset_length, "gauge2_offset_length", false, 71, 0, 167, 0},
    {Param::output1_offset, "output1_offset", true, 74, 73, 171, 172},
    {Param::output2_offset, "output2_offset", true, 76, 75, 173, 174},
    {Param::output1_offset_length, "output1_offset_length", false, 77, 0, 175, 0},
    {Param::output2_offset_length, "output2_offset_length", false, 78, 0, 176, 0},
    {Param::output1_type, "output1_type", false, 79, 0, 177, 0},
    {Param::output2_type, "output2_type", false, 80, 0, 178, 0},
    {Param::analog_offset, "analog_offset", true, 82, 81, 179, 180},
    {Param::analog_offset_length, "analog_offset_length", false, 83, 0, 181, 0},
    {Param::analog_type, "analog_type", false, 84, 0, 182, 0},
    {Param::analog_param, "analog_param", true, 86, 85, 183, 184},
    {Param::output1_inverted, "output1_inverted", false, 87, 0, 186, 0},
    {Param::output2_inverted, "output2_inverted", false, 88, 0, 187, 0},
}};

// Calls f with the record's field for `param`.
template <typename Record, typename F>
decltype(auto) with_field(Record& r, Param param, F&& f) {
  switch (param) {
    case Param::gauge1_course_min: return f(r.gauge1_course_min);
    case Param::gauge1_course_max: return f(r.gauge1_course_max);
    case Param::gauge2_course_min: return f(r.gauge2_course_min);
    case Param::gauge2_course_max: return f(r.gauge2_course_max);
    case Param::gauge1_inverted: return f(r.gauge1_inverted);
    case Param::gauge2_inverted: return f(r.gauge2_inverted);
    case Param::gauge1_type: return f(r.gauge1_type);
    case Param::gauge2_type: return f(r.gauge2_type);
    case Param::gauge1_offset: return f(r.gauge1_offset);
    case Param::gauge2_offset: return f(r.gauge2_offset);
    case Param::gauge1_sim_min: return f(r.gauge1_sim_min);
    case Param::gauge1_sim_max: return f(r.gauge1_sim_max);
    case Param::gauge2_sim_min: return f(r.gauge2_sim_min);
    case Param::gauge2_sim_max: return f(r.gauge2_sim_max);
    case Param::gauge1_offset_length: return f(r.gauge1_offset_length);
    case Param::gauge2_offset_length: return f(r.gauge2_offset_length);
    case Param::output1_offset: return f(r.output1_offset);
    case Param::output2_offset: return f(r.output2_offset);
    case Param::output1_offset_length: return f(r.output1_offset_length);
    case Param::output2_offset_length: return f(r.output2_offset_length);
    case Param::output1_type: return f(r.output1_type);
    case Param::output2_type: return f(r.output2_type);
    case Param::analog_offset: return f(r.analog_offset);
    case Param::analog_offset_length: return f(r.analog_offset_length);
    case Param::analog_type: return f(r.analog_type);
    case Param::analog_param: return f(r.analog_param);
    case Param::output1_inverted: return f(r.output1_inverted);
    case Param::output2_inverted: return f(r.output2_inverted);
  }
  return f(r.output2_inverted);  // unreachable: every enumerator is handled above
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

std::optional<Param> param_by_name(const char* name) {
  for (const auto& info : kInfos) {
    if (std::strcmp(info.name, name) == 0) return info.param;
  }
  return std::nullopt;
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
  const auto ratio = [](std::int32_t sim_max, std::int16_t sim_min, std::uint8_t cmin,
                        std::uint8_t cmax) -> float {
    const int denominator = int{cmax} - int{cmin};
    if (denominator == 0) return 0.0f;
    const double numerator =
        double(static_cast<std::uint16_t>(static_cast<std::uint32_t>(sim_max))) - sim_min;
    return static_cast<float>(numerator / denominator);
  };
  record.gauge1_ratio = ratio(record.gauge1_sim_max, record.gauge1_sim_min,
                              record.gauge1_course_min, record.gauge1_course_max);
  record.gauge2_ratio = ratio(record.gauge2_sim_max, record.gauge2_sim_min,
                              record.gauge2_course_min, record.gauge2_course_max);
}

}  // namespace kavri
