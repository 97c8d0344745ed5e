// The one table of the 28 module parameters: the record field, the RSP_PARAM codes that fill it
// during the exploration, the CMD_WRITE_PARAM codes that store it in the module's EEPROM, how
// it is shown and edited, and its key in a ".jcf" file. The parameter window, the EEPROM write,
// the export and import and the gauge calculator all read it, so the views of a parameter can
// never drift apart. Which control shows it is the parameter window's own (param_control).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "bus_model/module_record.h"

namespace kavri {

// In the order of the EEPROM write.
enum class Param : std::uint8_t {
  gauge1_course_min,
  gauge1_course_max,
  gauge2_course_min,
  gauge2_course_max,
  gauge1_inverted,
  gauge2_inverted,
  gauge1_type,
  gauge2_type,
  gauge1_offset,
  gauge2_offset,
  gauge1_sim_min,
  gauge1_sim_max,
  gauge2_sim_min,
  gauge2_sim_max,
  gauge1_offset_length,
  gauge2_offset_length,
  output1_offset,
  output2_offset,
  output1_offset_length,
  output2_offset_length,
  output1_type,
  output2_type,
  analog_offset,
  analog_offset_length,
  analog_type,
  analog_param,
  output1_inverted,
  output2_inverted,
};
constexpr int PARAM_FIELD_COUNT = 28;

// How the parameter window shows a parameter, which also says how a ".jcf" file keeps it:
// numbers and offsets as the field's text, lists and boxes as their state.
enum class ParamKind : std::uint8_t {
  number,         // decimal text
  offset,         // "$" and four upper-case hexadecimal digits
  type_list,      // list entry = type - 1; the file keeps the entry's index (-1: none)
  inversion_box,  // ticked exactly when the parameter is 255; the file keeps 1 or 0
};
constexpr bool is_state_kind(ParamKind kind) {
  return kind == ParamKind::type_list || kind == ParamKind::inversion_box;
}

struct ParamInfo {
  Param param;
  const char* name;              // the record field's name, e.g. "gauge1_course_min"
  bool two_bytes;                // travels as a high and a low byte
  std::uint8_t write_code;       // CMD_WRITE_PARAM code of the byte, or of the low byte
  std::uint8_t write_code_high;  // code of the high byte (two_bytes only)
  std::uint8_t answer_code;      // RSP_PARAM code of the byte, or of the high byte
  std::uint8_t answer_code_low;  // code of the low byte (two_bytes only)
  ParamKind kind;
  std::string_view jcf_key;  // its key in a ".jcf" file, spelled exactly so
};

// All 28, in EEPROM write order (low byte sent before high byte for two-byte fields).
std::span<const ParamInfo> param_infos();
const ParamInfo& param_info(Param param);
// All 28, in the order of the keys of a new ".jcf" file, and those keys in that order.
std::span<const Param> gauge_config_order();
std::vector<std::string_view> gauge_config_keys();

// The value a parameter takes from a list's selected index or a box's state, as the EEPROM
// write stores it: the index + 1 for a type (no selection, -1, gives 0), 255 for a ticked box
// (any state but 0), 0 otherwise. Texts go through the number text rule instead.
std::int64_t param_value_of_state(ParamKind kind, std::int64_t state);

// The field's value, widened (signed fields keep their sign).
std::int64_t read_param(const ModuleRecord& record, Param param);
// Stores the low 8, 16 or 32 bits of `value` that the field holds.
void write_param(ModuleRecord& record, Param param, std::int64_t value);

// Applies one RSP_PARAM answer (code 150-187) to a record: a single byte is stored, a high
// byte sets the field to byte x 256, a low byte adds to the field. Returns false (and changes
// nothing) for a code outside 150-187.
bool apply_param_answer(ModuleRecord& record, std::uint8_t code, std::uint8_t data);

}  // namespace kavri
