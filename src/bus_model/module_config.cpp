#include "bus_model/module_config.h"

#include "base/number_text.h"
#include "bus_model/gauge_types.h"

namespace kavri {
namespace {

std::size_t slot(Param param) { return static_cast<std::size_t>(param); }

bool is_blank(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

int type_list_size(Param param) {
  switch (param) {
    case Param::gauge1_type:
      return static_cast<int>(gauge1_type_names().size());
    case Param::gauge2_type:
      return static_cast<int>(gauge2_type_names().size());
    case Param::output1_type:
    case Param::output2_type:
      return static_cast<int>(output_type_names().size());
    case Param::analog_type:
      return static_cast<int>(analog_type_names().size());
    default:
      return 0;
  }
}

ModuleConfig config_of_record(const ModuleRecord& record) {
  ModuleConfig config;
  config.address = format_decimal(record.address);
  config.new_address = config.address;
  for (const ParamInfo& info : param_infos()) {
    const std::int64_t value = read_param(record, info.param);
    switch (info.kind) {
      case ParamKind::number:
        config.texts[slot(info.param)] = format_decimal(value);
        break;
      case ParamKind::offset:
        config.texts[slot(info.param)] = format_offset(static_cast<std::uint16_t>(value));
        break;
      case ParamKind::type_list:
        config.states[slot(info.param)] =
            list_index_of_type(static_cast<int>(value), type_list_size(info.param));
        break;
      case ParamKind::inversion_box:
        config.states[slot(info.param)] = value == 255 ? 1 : 0;
        break;
    }
  }
  return config;
}

std::int64_t config_value(const ModuleConfig& config, Param param) {
  const ParamKind kind = param_info(param).kind;
  if (is_state_kind(kind)) return param_value_of_state(kind, config.states[slot(param)]);
  return parse_number_text(config.texts[slot(param)]);
}

std::uint8_t config_address(const ModuleConfig& config) {
  return static_cast<std::uint8_t>(parse_number_text(config.address));
}

std::uint8_t config_new_address(const ModuleConfig& config) {
  return static_cast<std::uint8_t>(parse_number_text(config.new_address));
}

std::vector<std::pair<std::string_view, std::string>> gauge_config_lines(
    const ModuleConfig& config) {
  std::vector<std::pair<std::string_view, std::string>> lines;
  for (Param param : gauge_config_order()) {
    const ParamInfo& info = param_info(param);
    std::string text;
    if (is_state_kind(info.kind)) {
      text = format_decimal(config.states[slot(param)]);
    } else if (!is_blank(config.texts[slot(param)])) {
      text = config.texts[slot(param)];
    } else {
      // A blank number would read back as nothing at all; the EEPROM write takes it as 0.
      text = info.kind == ParamKind::offset ? format_offset(0) : format_decimal(0);
    }
    lines.emplace_back(info.jcf_key, std::move(text));
  }
  return lines;
}

void apply_gauge_config_texts(ModuleConfig& config,
                              std::span<const std::optional<std::string>> texts) {
  const auto order = gauge_config_order();
  for (std::size_t i = 0; i < order.size() && i < texts.size(); ++i) {
    if (!texts[i]) continue;
    const Param param = order[i];
    const ParamKind kind = param_info(param).kind;
    if (!is_state_kind(kind)) {
      config.texts[slot(param)] = *texts[i];
      continue;
    }
    const std::int64_t state = parse_number_text(*texts[i]);
    if (kind == ParamKind::inversion_box) {
      config.states[slot(param)] = state != 0 ? 1 : 0;
      continue;
    }
    // An index outside the list's entries is no entry rather than some other one.
    const bool listed = state >= 0 && state < type_list_size(param);
    config.states[slot(param)] = listed ? static_cast<int>(state) : -1;
  }
}

void store_config(const ModuleConfig& config, ModuleRecord& record) {
  for (const ParamInfo& info : param_infos()) {
    write_param(record, info.param, config_value(config, info.param));
  }
}

}  // namespace kavri
